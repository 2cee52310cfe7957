// The one check that every file name built from outside input passes.
#pragma once

#include <string_view>  // std::string_view

namespace qs {

// True when `name` can stand as exactly one path component inside a vault
// folder: not empty, not "." or "..", and free of "/", "\" and NUL.
bool isSinglePathComponent(std::string_view name);

}  // namespace qs
