// The eight tools in catalog order: their descriptors for "tools/list",
// lookup by name, and running one.
#pragma once

#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "tools/tool.hpp"

namespace qs::ToolCatalog {

// The descriptors (name, description, inputSchema, annotations, and with
// `titled` the title), built once from the definitions; a JSON array in
// catalog order.
const Json& descriptors(bool titled);

// Exact, case-sensitive lookup; nullptr for an unknown name.
const ToolDefinition* find(std::string_view name);

// Runs the tool; whatever it throws becomes a failed tool result, so only
// protocol mistakes stay JSON-RPC errors.
Json invoke(const ToolDefinition& tool, const Json& arguments, ToolContext& context);

}  // namespace qs::ToolCatalog
