// Tool names to the operations that serve them.
#pragma once

#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "protocol/rpc_request.hpp"
#include "vault/vault.hpp"

namespace qs {

using ToolOperation = Json (*)(const RPCRequest& request, const Vault& vault);

// Exact, case-sensitive lookup; nullptr for an unknown name.
ToolOperation findTool(std::string_view name);

// Runs one tool and turns what it throws into a failed tool result:
// ToolFailure, RPCError -32602 and VaultIO::WriteError become "isError"
// results; any other RPCError and any other exception are rethrown.
Json invokeTool(ToolOperation operation, const RPCRequest& request, const Vault& vault);

}  // namespace qs
