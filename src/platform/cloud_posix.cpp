// The cloud services where the system has none: no cloud provider to ask for
// downloads, no file coordination between processes, so blocks run directly.
#include "platform/file_system.hpp"

namespace qs::Platform {

void requestCloudDownload(const std::string&) {}

bool coordinateReading(const std::string& path, const std::function<void(const std::string&)>& block) {
    block(path);
    return true;
}

bool coordinateWriting(const std::string& path, const std::function<void(const std::string&)>& block,
                       std::string*) {
    block(path);
    return true;
}

}  // namespace qs::Platform
