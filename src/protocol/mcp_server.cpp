// The server loop and its one method table: one message in, exactly one reply out.
#include "protocol/mcp_server.hpp"

#include <chrono>  // std::chrono::seconds

#include "platform/log.hpp"
#include "protocol/protocol_era.hpp"
#include "tools/app_views.hpp"
#include "tools/resources.hpp"
#include "tools/tool_catalog.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"

namespace qs {
namespace {

// Answered for a missing or unknown request; deliberately not the newest one.
constexpr std::string_view kFallbackProtocolVersion = "2025-06-18";

constexpr std::string_view kInstructions =
    "quillstack 是用户的个人记录库:录音转译、随手记、截图 OCR、剪贴板、健康数据、日报、英语词库。\n"
    "\n"
    "典型流程:\n"
    "  · 找东西 → vault_search 拿 id,再用 recording_transcript / minutes_read 展开\n"
    "  · 按词找内容(几个词、拼不准的名字、会上说过的话、纪要里的结论)→ fulltext_search,命中带字段和 offset\n"
    "  · 改写会议纪要 → recording_transcript 读转译稿 → 自己重新组织 → minutes_write 写回(带上 summary)\n"
    "  · 记长日记 → diary_write\n"
    "\n"
    "写入只落产物文件,由 quillstack Mac App 在约 30 秒内扫描并更新时间流。";

// The vault changes under us: the companion app rescans about every 30 seconds.
constexpr int64_t kVaultTtlMs = int64_t{30} * 1000;

// A vault's contents are the user's own: a cache must not share them.
void markVaultData(Json& result) {
    result["ttlMs"] = kVaultTtlMs;
    result["cacheScope"] = "private";
}

// An AI client asks in bursts; a minute of silence ends one.
constexpr std::chrono::seconds kIdleRelease{60};

// Hosts that render MCP Apps views find ours named by the tools' _meta.
Json capabilities() {
    return Json{{"tools", Json{{"listChanged", false}}}, {"resources", Json{{"listChanged", false}}},
        {"extensions",
            Json{{"io.modelcontextprotocol/ui", Json{{"mimeTypes", Json::array({std::string(kViewMimeType)})}}}}}};
}
Json serverInfo() { return Json{{"name", "quillstack"}, {"version", std::string(kServerVersion)}}; }

}  // namespace

// A method and its era rules. Every request method serves 2025-era requests.
struct MCPServer::Method {
    std::string_view name;
    Json (*handler)(MCPServer& server, const Call& call) = nullptr;  // none for a notification
    bool modern = true;                                              // served to a 2026-07-28 request too
    bool probe = false;      // served by the 2026-07-28 rules even without a _meta version
    bool cacheable = false;  // a 2026-07-28 result carries cache hints
    // Sent by the client without an id and answered by nothing but the log
    // line every notification gets; a request by its name is unknown.
    bool notification = false;
};

const MCPServer::Method* MCPServer::findMethod(std::string_view name) {
    // The revision removed "initialize" and "ping"; "server/discover" has no
    // 2025 meaning to protect, so a bare probe is answered too.
    // One method to a row reads better than the formatter's layout.
    // clang-format off
    static constexpr Method kMethods[] = {
        {.name = "initialize", .handler = [](MCPServer& s, const Call& c) { return s.initialize(c); }, .modern = false},
        // An explicit object: a default Json would go out as null.
        {.name = "ping", .handler = [](MCPServer&, const Call&) { return Json::object(); }, .modern = false},
        {.name = "server/discover",
         .handler = [](MCPServer&, const Call&) { return ProtocolEra::discoverResult(capabilities(), kInstructions); },
         .probe = true,
         .cacheable = true},
        {.name = "tools/list", .handler = [](MCPServer& s, const Call& c) { return s.listTools(c); }, .cacheable = true},
        {.name = "tools/call", .handler = [](MCPServer& s, const Call& c) { return s.callTool(c); }},
        {.name = "resources/list", .handler = [](MCPServer& s, const Call& c) { return s.listResources(c); }, .cacheable = true},
        {.name = "resources/templates/list",
         .handler = [](MCPServer&, const Call&) { return Resources::templates(); },
         .cacheable = true},
        {.name = "resources/read", .handler = [](MCPServer& s, const Call& c) { return s.readResource(c); }, .cacheable = true},
        {.name = "prompts/list",
         .handler = [](MCPServer&, const Call&) { return Json{{"prompts", Json::array()}}; },
         .cacheable = true},
        // The client is ready; we were ready before it asked anything.
        {.name = "notifications/initialized", .notification = true},
        // Requests are answered one by one, in order: a cancellation comes
        // after the reply it would have stopped.
        {.name = "notifications/cancelled", .notification = true},
    };
    // clang-format on
    for (const Method& method : kMethods) {
        if (method.name == name) return &method;
    }
    return nullptr;
}

MCPServer::MCPServer(Vault vault, Transport& transport) : tools_(std::move(vault)), transport_(transport) {}

void MCPServer::run() {
    logStderr("started (quillstack " + std::string(kServerVersion) + ")");
    bool released = false;
    for (;;) {
        // A server nobody has called for a while hands its kept index back.
        if (!released && !transport_.waitForInput(kIdleRelease)) {
            tools_.releaseMemory();
            released = true;
        }
        auto line = transport_.readLine();
        released = false;
        if (!line) {
            logStderr("stdin 关闭,退出");
            return;
        }
        auto incoming = RPCTransport::parseLine(*line);
        bool written;
        if (incoming.kind == RPCTransport::Incoming::Kind::invalid) {
            written = reply(RequestId(), RPCError(RPCCode::parseError, "消息不是合法 JSON"));
        } else if (auto request = RPCRequest::fromJson(incoming.object, incoming.idText)) {
            written = handle(*request);
        } else {
            written = reply(
                RequestId::of(incoming.object, incoming.idText), RPCError(RPCCode::invalidRequest, "缺少 method"));
        }
        // Nobody reads our replies any more: stop rather than work for no one.
        if (!written) return;
    }
}

bool MCPServer::handle(const RPCRequest& request) {
    if (request.id) return reply(*request.id, answer(request));
    // Whatever it names, a message without id runs no request's handler and
    // gets no reply.
    logStderr("notification: " + request.method);
    return true;
}

bool MCPServer::reply(const RequestId& id, const Outcome& outcome) {
    return transport_.writeLine(replyLine(id, outcome));
}

// Each request is judged on its own: one whose _meta names a version is a
// 2026-07-28 request, whatever came before; any other is a 2025-era one,
// shaped only by what the last "initialize" agreed.
Outcome MCPServer::answer(const RPCRequest& request) {
    const Method* method = findMethod(request.method);
    if (method && method->notification) method = nullptr;
    const Json* version = ProtocolEra::requestedVersion(request);
    if (version) {
        // What the methods of an unknown version mean is unknown too, so the
        // version is judged first; a method the era lacks outranks a malformed _meta.
        if (auto refusal = ProtocolEra::refuseVersion(*version)) return *refusal;
        if (!method || !method->modern) return RPCError::unknownMethod(request.method);
        if (auto problem = ProtocolEra::checkMeta(request)) return *problem;
    } else if (!method) {
        return RPCError::unknownMethod(request.method);
    }
    const bool modern = version || method->probe;
    const Call call{request, modern, modern || ProtocolEra::richResults(negotiated_)};
    // A tool's own failure never reaches here: the catalog turns it into a
    // failed tool result.
    Json result;
    try {
        result = method->handler(*this, call);
    } catch (const RPCError& error) {
        return error;
    } catch (const std::exception& error) {
        return RPCError(RPCCode::internalError, "内部错误: " + std::string(error.what()));
    } catch (...) {
        return RPCError(RPCCode::internalError, "内部错误: " + std::string(kUnknownError));
    }
    if (modern) ProtocolEra::decorate(result, method->cacheable, serverInfo());
    return result;
}

Json MCPServer::initialize(const Call& call) {
    std::string_view version = kFallbackProtocolVersion;
    if (auto it = call.request.params.find("protocolVersion"); it != call.request.params.end() && it->is_string()) {
        for (auto supported : kLegacyProtocolVersions) {
            if (it->get_ref<const std::string&>() == supported) version = supported;
        }
    }
    negotiated_ = version;
    return Json{{"protocolVersion", std::string(version)}, {"capabilities", capabilities()},
        {"serverInfo", serverInfo()}, {"instructions", std::string(kInstructions)}};
}

Json MCPServer::listTools(const Call& call) {
    // We never hand out a cursor, so any cursor is one we did not issue.
    if (auto cursor = call.request.params.find("cursor");
        cursor != call.request.params.end() && !cursor->is_null() && *cursor != "") {
        throw RPCError(RPCCode::invalidParams, "无效的 cursor(tools/list 不分页)");
    }
    return Json{{"tools", ToolCatalog::descriptors(call.rich)}};
}

Json MCPServer::callTool(const Call& call) {
    const Json& params = call.request.params;
    auto name = params.find("name");
    if (name == params.end() || !name->is_string()) throw RPCError(RPCCode::invalidParams, "tools/call 缺少 name");
    const std::string& toolName = name->get_ref<const std::string&>();
    const ToolDefinition* tool = ToolCatalog::find(toolName);
    // The 2026-07-28 revision files an unknown tool under invalid params.
    if (!tool) {
        throw RPCError(
            call.modern ? RPCCode::invalidParams : RPCCode::methodNotFound, "没有名为 " + toolName + " 的工具");
    }
    auto arguments = params.find("arguments");
    // Anything but an object reads as no arguments.
    static const Json noArguments = Json::object();
    Json result = ToolCatalog::invoke(*tool, arguments != params.end() ? *arguments : noArguments, tools_);
    if (call.rich) ToolResult::addStructuredContent(result);
    return result;
}

// The cursor, when given, must be a text; what it says is the list's to judge.
Json MCPServer::listResources(const Call& call) {
    std::string cursor;
    if (auto it = call.request.params.find("cursor"); it != call.request.params.end() && !it->is_null()) {
        if (!it->is_string()) throw RPCError(RPCCode::invalidParams, "无效的 cursor");
        cursor = it->get<std::string>();
    }
    Json result;
    try {
        result = Resources::list(tools_, cursor);
    } catch (const Resources::BadCursor& error) {
        throw RPCError(RPCCode::invalidParams, error.what());
    }
    if (call.modern) markVaultData(result);
    return result;
}

Json MCPServer::readResource(const Call& call) {
    auto uri = call.request.params.find("uri");
    if (uri == call.request.params.end() || !uri->is_string()) {
        throw RPCError(RPCCode::invalidParams, "resources/read 缺少 uri");
    }
    const std::string& text = uri->get_ref<const std::string&>();
    Json result;
    try {
        result = Resources::read(tools_, text);
    } catch (const Resources::Missing& error) {
        // The 2026-07-28 revision files an unknown resource under invalid params.
        throw RPCError(
            call.modern ? RPCCode::invalidParams : RPCCode::resourceNotFound, error.what(), Json{{"uri", text}});
    }
    if (call.modern && !Resources::isView(text)) markVaultData(result);
    return result;
}

}  // namespace qs
