// The server loop: one message in, exactly one reply out, method by method.
#include "protocol/mcp_server.hpp"

#include <string>  // std::string

#include "platform/log.hpp"
#include "protocol/transport.hpp"
#include "tools/tool_catalog.hpp"
#include "tools/tool_result.hpp"

namespace qs {
namespace {

constexpr auto supportedProtocolVersions = legacyProtocolVersions;
// Answered for a missing or unknown request; deliberately not the newest one.
constexpr std::string_view fallbackProtocolVersion = "2025-06-18";

constexpr std::string_view instructions =
    "quillstack 是用户的个人记录库:录音转译、随手记、截图 OCR、剪贴板、健康数据、日报、英语词库。\n"
    "\n"
    "典型流程:\n"
    "  · 找东西 → vault_search 拿 id,再用 recording_transcript / minutes_read 展开\n"
    "  · 改写会议纪要 → recording_transcript 读转译稿 → 自己重新组织 → minutes_write 写回(带上 summary)\n"
    "  · 记长日记 → diary_write\n"
    "\n"
    "写入只落产物文件,由 quillstack Mac App 在约 30 秒内扫描并更新时间流。";

// An AI client asks in bursts; a minute of silence ends one.
constexpr std::chrono::seconds kIdleRelease{60};

}  // namespace

void MCPServer::run() {
    logStderr("started (quillstack " + std::string(serverVersion) + ")");
    LineReader in(inFd_);
    bool released = false;
    for (;;) {
        // A server nobody has called for a while hands its kept index back.
        if (!released && !in.waitForInput(kIdleRelease)) {
            tools_.releaseMemory();
            released = true;
        }
        auto incoming = RPCTransport::read(in);
        released = false;
        bool written = true;
        switch (incoming.kind) {
        case RPCTransport::Incoming::Kind::eof:
            logStderr("stdin 关闭,退出");
            return;
        case RPCTransport::Incoming::Kind::invalid:
            written = RPCTransport::respond(outFd_, std::nullopt, RPCError(-32700, "消息不是合法 JSON"));
            break;
        case RPCTransport::Incoming::Kind::message:
            if (auto request = RPCRequest::fromRaw(incoming.object)) {
                request->rawId = std::move(incoming.rawId);
                written = handle(*request);
            } else {
                const Json& raw = incoming.object;
                std::optional<Json> id;
                if (auto it = raw.find("id"); it != raw.end()) id = *it;
                written = RPCTransport::respond(outFd_, id, RPCError(-32600, "缺少 method"), incoming.rawId);
            }
            break;
        }
        // Nobody reads our replies any more: stop rather than work for no one.
        if (!written) return;
    }
}

bool MCPServer::handle(const RPCRequest& request) {
    if (!request.id) {
        logStderr("notification: " + request.method);
        return true;
    }
    // Requests of a 2026-07-28 (modern) session are answered by ProtocolEra; 2025-era ones go on below.
    if (auto reply = era_.answer(request, [this](const RPCRequest& r) { return dispatch(r); },
                                 [this, &request] { return initializeResult(request); })) {
        return RPCTransport::send(outFd_, *reply, request.rawId);
    }
    Json result;
    try {
        result = dispatch(request);
    } catch (const RPCError& error) {
        return RPCTransport::respond(outFd_, request.id, error, request.rawId);
    } catch (const std::exception& error) {
        result = ToolResult::failure(error.what());
    } catch (...) {
        result = ToolResult::failure("unknown error");
    }
    return RPCTransport::respond(outFd_, *request.id, result, request.rawId);
}

Json MCPServer::dispatch(const RPCRequest& request) {
    const std::string& method = request.method;
    if (method == "initialize") return initializeResult(request);
    // An explicit object: a default Json would go out as null.
    if (method == "ping") return Json::object();
    if (method == "tools/list") return Json{{"tools", ToolCatalog::descriptors()}};
    if (method == "tools/call") return callTool(request);
    if (method == "resources/list") return Json{{"resources", Json::array()}};
    if (method == "prompts/list") return Json{{"prompts", Json::array()}};
    throw RPCError(-32601, "不支持的方法: " + method);
}

Json MCPServer::initializeResult(const RPCRequest& request) const {
    std::string_view version = fallbackProtocolVersion;
    if (auto it = request.params.find("protocolVersion"); it != request.params.end() && it->is_string()) {
        for (auto supported : supportedProtocolVersions) {
            if (it->get_ref<const std::string&>() == supported) version = supported;
        }
    }
    return Json{{"protocolVersion", std::string(version)},
                {"capabilities", Json{{"tools", Json{{"listChanged", false}}}}},
                {"serverInfo", Json{{"name", "quillstack"}, {"version", std::string(serverVersion)}}},
                {"instructions", std::string(instructions)}};
}

Json MCPServer::callTool(const RPCRequest& request) {
    auto name = request.params.find("name");
    if (name == request.params.end() || !name->is_string()) throw RPCError(-32602, "tools/call 缺少 name");
    const std::string& toolName = name->get_ref<const std::string&>();
    const ToolDefinition* tool = ToolCatalog::find(toolName);
    if (!tool) throw RPCError(-32601, "没有名为 " + toolName + " 的工具");
    auto arguments = request.params.find("arguments");
    // Anything but an object reads as no arguments.
    static const Json noArguments = Json::object();
    return ToolCatalog::invoke(*tool, arguments != request.params.end() ? *arguments : noArguments, tools_);
}

}  // namespace qs
