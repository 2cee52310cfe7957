// The located vault handed to every tool.
#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

#include "vault/path_schema.hpp"

namespace qs {

struct Vault {
    std::string root;  // absolute folder path, as located
    PathSchema schema = PathSchema::englishV2;

    // Where to read `path` + "/" + `subpath` from: the layout's own file,
    // else (English layout only) the legacy file when only that exists.
    std::string url(VaultPath path, std::string_view subpath) const;
};

}  // namespace qs
