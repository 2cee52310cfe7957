// The six read-only tools.
#pragma once

#include "json/json.hpp"
#include "protocol/rpc_request.hpp"
#include "vault/vault.hpp"

namespace qs::ReadTools {

Json search(const RPCRequest& request, const Vault& vault);         // vault_search
Json recordingList(const RPCRequest& request, const Vault& vault);  // recording_list
Json transcript(const RPCRequest& request, const Vault& vault);     // recording_transcript
Json minutes(const RPCRequest& request, const Vault& vault);        // minutes_read
Json vocabList(const RPCRequest& request, const Vault& vault);      // vocab_list
Json reportDaily(const RPCRequest& request, const Vault& vault);    // report_daily

}  // namespace qs::ReadTools
