// The eight tool descriptors answered for "tools/list".
#pragma once

#include "json/json.hpp"

namespace qs::ToolCatalog {

// Built on first use, in catalog order; a JSON array.
const Json& all();

}  // namespace qs::ToolCatalog
