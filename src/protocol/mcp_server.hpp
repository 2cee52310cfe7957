// The MCP server proper: reads messages, dispatches methods, answers.
#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "protocol/reply.hpp"
#include "protocol/rpc_request.hpp"
#include "protocol/transport.hpp"
#include "tools/tool.hpp"

namespace qs {

// Reported by "initialize", "server/discover" and by --version.
inline constexpr std::string_view kServerVersion = "0.1.0";

class MCPServer {
public:
    // Serves the lines of `transport`, which must outlive the server.
    MCPServer(Vault vault, Transport& transport);

    // Serves until input ends (or output is gone), then returns.
    void run();

    // Answers one request (a notification only logs); the loop's step, also
    // driven on its own by the benchmark. False once the reply could not be
    // written (the client closed output).
    bool handle(const RPCRequest& request);

private:
    // How one request is served: its own fields, and the rules of its era.
    struct Call {
        const RPCRequest& request;
        bool modern;  // a 2026-07-28 request
        bool rich;    // sent tool titles and structured tool results
    };

    struct Method;
    static const Method* findMethod(std::string_view name);

    Outcome answer(const RPCRequest& request);
    bool reply(const RequestId& id, const Outcome& outcome);

    Json initialize(const Call& call);
    Json listTools(const Call& call);
    Json callTool(const Call& call);
    Json listResources(const Call& call);
    Json readResource(const Call& call);

    ToolContext tools_;  // the vault and what the tools keep across calls
    Transport& transport_;
    std::string negotiated_;  // the version the last "initialize" agreed; empty before any
};

}  // namespace qs
