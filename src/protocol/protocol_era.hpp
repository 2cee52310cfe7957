// The two protocol eras a session can speak: the 2025 handshake era and the
// stateless era of revision 2026-07-28, where every request names its version
// and the client's capabilities in params._meta.
#pragma once

#include <array>        // std::array
#include <functional>   // std::function
#include <optional>     // std::optional
#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "protocol/rpc_request.hpp"

namespace qs {

// Answered by "initialize", oldest first.
inline constexpr std::array<std::string_view, 4> legacyProtocolVersions{"2024-11-05", "2025-03-26", "2025-06-18",
                                                                        "2025-11-25"};
// Served without a handshake, oldest first.
inline constexpr std::array<std::string_view, 1> modernProtocolVersions{"2026-07-28"};

// Per-session state: which era the session speaks, fixed by its first request.
// A request without a version in _meta makes it a 2025 session, which is then
// served exactly as before; a well-formed request of a version we serve makes
// it a modern one. The "server/discover" probe and requests answered with
// -32022 or -32602 decide nothing, so a client may still fall back to
// "initialize" after them.
class ProtocolEra {
public:
    // Answers a request the way MCPServer::dispatch does (throwing RPCError or
    // any other error); the modern era decorates what it returns.
    using Dispatch = std::function<Json(const RPCRequest&)>;
    // The server's "initialize" result, whose capabilities, identity and
    // instructions the modern era hands out too.
    using Describe = std::function<Json()>;

    // The whole reply message for a request with an id in a modern session, or
    // nothing when the request belongs to the 2025 era and is the caller's.
    std::optional<Json> answer(const RPCRequest& request, const Dispatch& dispatch, const Describe& describe);

private:
    enum class Era { undecided, legacy, modern };
    Era era_ = Era::undecided;
};

}  // namespace qs
