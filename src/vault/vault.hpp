// The located vault handed to every tool.
#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

#include "vault/path_schema.hpp"

namespace qs {

struct Vault {
    std::string root;  // absolute folder path, as located
    PathSchema schema = PathSchema::englishV2;  // detected once, when located

    // Where to read `location` + "/" + `subpath` from: the layout's own file,
    // else (English layout only) the legacy file when only that exists.
    std::string path(VaultPath location, std::string_view subpath = {}) const;
    // Where to write it: the layout's own location, never a fallback.
    std::string writingPath(VaultPath location, std::string_view subpath = {}) const;
};

}  // namespace qs
