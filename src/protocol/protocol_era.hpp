// The two protocol eras, judged request by request: the 2025 handshake era,
// and revision 2026-07-28, whose requests name their version and the
// client's capabilities in params._meta and are served statelessly.
#pragma once

#include <array>        // std::array
#include <optional>     // std::optional
#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "protocol/rpc_error.hpp"
#include "protocol/rpc_request.hpp"

namespace qs {

// Answered by "initialize", oldest first.
inline constexpr std::array<std::string_view, 4> kLegacyProtocolVersions{
    "2024-11-05", "2025-03-26", "2025-06-18", "2025-11-25"};
// What a request's _meta may name, oldest first: the one list that
// "server/discover" and the -32022 error both give.
inline constexpr std::array<std::string_view, 1> kModernProtocolVersions{"2026-07-28"};

namespace ProtocolEra {

// The version a request's _meta names, of any JSON kind; nullptr for a
// 2025-era request.
const Json* requestedVersion(const RPCRequest& request);

// -32022 for a version text we do not serve.
std::optional<RPCError> refuseVersion(const Json& version);

// -32602 when the version is not a text or the capabilities not an object.
std::optional<RPCError> checkMeta(const RPCRequest& request);

// Whether a 2025 session that "initialize" agreed on `version` is sent tool
// titles and structured tool results (both came with 2025-06-18); none before
// any "initialize".
bool richResults(std::string_view negotiatedVersion);

// The discover result, before the members every modern result carries.
Json discoverResult(Json capabilities, std::string_view instructions);

// What every modern result carries besides its own members.
void decorate(Json& result, bool cacheable, const Json& serverInfo);

}  // namespace ProtocolEra
}  // namespace qs
