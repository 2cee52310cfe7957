// The cloud services where the system has none: no cloud provider to ask for
// downloads, no file coordination between processes, so blocks run directly.
#include "platform/cloud_services.hpp"

namespace qs::Platform::Cloud {

Status requestDownload(const std::string&) { return {}; }

Status coordinateReading(
    const std::string& path, std::chrono::milliseconds, const std::function<void(const std::string&)>& block) {
    block(path);
    return {};
}

Status coordinateWriting(
    const std::string& path, std::chrono::milliseconds, const std::function<void(const std::string&)>& block) {
    block(path);
    return {};
}

}  // namespace qs::Platform::Cloud
