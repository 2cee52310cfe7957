// Path splitting and joining on "/" alone: no normalisation, no file system.
#include "platform/paths.hpp"

namespace qs::Platform {

std::string parentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string lastComponent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(std::string_view base, std::string_view rel) {
    size_t skip = rel.find_first_not_of('/');
    rel = skip == std::string_view::npos ? std::string_view() : rel.substr(skip);
    if (rel.empty()) return std::string(base);
    while (base.size() > 1 && base.back() == '/') base.remove_suffix(1);
    std::string out(base);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(rel);
    return out;
}

}  // namespace qs::Platform
