// Tool names to the operations that serve them, and how a tool's failures become results.
#include "protocol/tool_table.hpp"

#include <array>    // std::array
#include <utility>  // std::pair

#include "protocol/tool_failure.hpp"
#include "protocol/tool_result.hpp"
#include "tools/read_tools.hpp"
#include "tools/write_tools.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

constexpr std::array<std::pair<std::string_view, ToolOperation>, 8> tools{{
    {"vault_search", &ReadTools::search},
    {"recording_list", &ReadTools::recordingList},
    {"recording_transcript", &ReadTools::transcript},
    {"minutes_read", &ReadTools::minutes},
    {"vocab_list", &ReadTools::vocabList},
    {"report_daily", &ReadTools::reportDaily},
    {"minutes_write", &WriteTools::minutes},
    {"diary_write", &WriteTools::diary},
}};

}  // namespace

ToolOperation findTool(std::string_view name) {
    for (const auto& [toolName, operation] : tools) {
        if (toolName == name) return operation;
    }
    return nullptr;
}

Json invokeTool(ToolOperation operation, const RPCRequest& request, const Vault& vault) {
    // Whatever goes wrong inside a tool reaches the client as a failed tool
    // result; only protocol mistakes stay JSON-RPC errors.
    try {
        return operation(request, vault);
    } catch (const ToolFailure& failure) {
        return ToolResult::failure(failure.description);
    } catch (const RPCError& error) {
        if (error.code == -32602) return ToolResult::failure(error.message);
        throw;
    } catch (const VaultIO::WriteError& error) {
        return ToolResult::failure(error.description());
    }
}

}  // namespace qs
