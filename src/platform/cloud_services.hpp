// The cloud services behind the system's file system: Foundation's on macOS
// (cloud_darwin.mm), the plain fallbacks elsewhere (cloud_posix.cpp).
#pragma once

#include <chrono>      // std::chrono::milliseconds
#include <functional>  // std::function
#include <string>      // std::string

#include "platform/file_system.hpp"

namespace qs::Platform::Cloud {

// Asks the cloud provider to bring the file down, returning at once; fails
// when the provider refuses.
Status requestDownload(const std::string& path);

// Runs `block` under coordinated reading, or fails without running it: at
// once when refused, at `bound` when other processes hold the file.
Status coordinateReading(
    const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block);

// Runs `block` under coordinated writing for replacing, or fails as above.
Status coordinateWriting(
    const std::string& path, std::chrono::milliseconds bound, const std::function<void(const std::string&)>& block);

}  // namespace qs::Platform::Cloud
