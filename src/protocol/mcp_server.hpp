// The MCP server proper: reads messages, dispatches methods, answers.
#pragma once

#include "json/json.hpp"
#include "protocol/rpc_request.hpp"
#include "vault/vault.hpp"

namespace qs {

class MCPServer {
public:
    explicit MCPServer(Vault vault, int inFd = 0, int outFd = 1)
        : vault_(std::move(vault)), inFd_(inFd), outFd_(outFd) {}

    // Serves until input ends (or output is gone), then returns.
    void run();

    const Vault& vault() const { return vault_; }

    // Exposed for unit tests; the loop is the only production caller.
    bool handle(const RPCRequest& request);
    Json dispatch(const RPCRequest& request);
    Json initializeResult(const RPCRequest& request) const;
    Json callTool(const RPCRequest& request);

private:
    Vault vault_;
    int inFd_;
    int outFd_;
};

}  // namespace qs
