// Plain absolute paths taken apart and put together, the one way for every layer.
#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs::Platform {

// The folder holding `path` ("." for a bare name, "/" at the root) and its
// last component.
std::string parentOf(const std::string& path);
std::string lastComponent(const std::string& path);

// `base` + "/" + `rel`, where a leading "/" of `rel` and a trailing "/" of
// `base` do not double the separator; an empty `rel` gives `base`.
std::string joinPath(std::string_view base, std::string_view rel);

}  // namespace qs::Platform
