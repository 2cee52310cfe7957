// How what a tool throws reaches the client.
#include <gtest/gtest.h>

#include <stdexcept>  // std::runtime_error

#include "protocol/tool_failure.hpp"
#include "protocol/tool_result.hpp"
#include "protocol/tool_table.hpp"
#include "vault/vault_io.hpp"

using qs::Json;

TEST(ToolTable, FindsToolsByExactName) {
    EXPECT_NE(qs::findTool("diary_write"), nullptr);
    for (const char* name : {"", "Vault_Search", "vault_search ", "ping"}) EXPECT_EQ(qs::findTool(name), nullptr) << name;
}

TEST(ToolTable, ToolProblemsBecomeFailedResultsAndOtherErrorsEscape) {
    const std::pair<qs::ToolOperation, std::string> failures[] = {
        {[](const qs::RPCRequest&, const qs::Vault&) -> Json { throw qs::ToolFailure("找不到条目"); }, "找不到条目"},
        {[](const qs::RPCRequest& r, const qs::Vault&) -> Json { return r.requiredString("id"); },
         "缺少必填参数 `id`(非空字符串)"},
        {[](const qs::RPCRequest&, const qs::Vault&) -> Json { throw qs::VaultIO::WriteError::writeFailed("磁盘满"); },
         "写文件失败: 磁盘满"},
    };
    const qs::RPCRequest request;
    const qs::Vault vault{"/nowhere"};
    for (const auto& [operation, text] : failures) {
        EXPECT_EQ(qs::invokeTool(operation, request, vault), qs::ToolResult::failure(text));
    }
    auto ok = [](const qs::RPCRequest&, const qs::Vault&) { return qs::ToolResult::json(Json{{"n", 1}}); };
    EXPECT_EQ(qs::invokeTool(ok, request, vault), qs::ToolResult::json(Json{{"n", 1}}));
    auto unknown = [](const qs::RPCRequest&, const qs::Vault&) -> Json { throw qs::RPCError(-32601, "没有"); };
    EXPECT_THROW(qs::invokeTool(unknown, request, vault), qs::RPCError);
    auto other = [](const qs::RPCRequest&, const qs::Vault&) -> Json { throw std::runtime_error("io"); };
    EXPECT_THROW(qs::invokeTool(other, request, vault), std::runtime_error);
}
