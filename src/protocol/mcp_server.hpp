// The MCP server proper: reads messages, dispatches methods, answers.
#pragma once

#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "protocol/protocol_era.hpp"
#include "protocol/rpc_request.hpp"
#include "tools/tool.hpp"

namespace qs {

// Reported by "initialize", "server/discover" and by --version.
inline constexpr std::string_view serverVersion = "0.1.0";

class MCPServer {
public:
    explicit MCPServer(Vault vault, int inFd = 0, int outFd = 1)
        : tools_(std::move(vault)), inFd_(inFd), outFd_(outFd) {}

    // Serves until input ends (or output is gone), then returns.
    void run();

    const Vault& vault() const { return tools_.vault(); }

    // Exposed for unit tests; the loop is the only production caller.
    // False once the reply could not be written (the client closed output).
    bool handle(const RPCRequest& request);
    Json dispatch(const RPCRequest& request);
    Json initializeResult(const RPCRequest& request) const;
    Json callTool(const RPCRequest& request);

private:
    ToolContext tools_;  // the vault and what the tools keep across calls
    int inFd_;
    int outFd_;
    ProtocolEra era_;  // the era this session speaks
};

}  // namespace qs
