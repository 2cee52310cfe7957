// The two tools that write into the vault.
#pragma once

#include "json/json.hpp"
#include "protocol/rpc_request.hpp"
#include "vault/vault.hpp"

namespace qs::WriteTools {

Json minutes(const RPCRequest& request, const Vault& vault);  // minutes_write
Json diary(const RPCRequest& request, const Vault& vault);    // diary_write

}  // namespace qs::WriteTools
