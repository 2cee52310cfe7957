// The era decision and the modern era's rules: the _meta version check, its
// errors, "server/discover", and the members every modern result carries.
#include "protocol/protocol_era.hpp"

#include <algorithm>  // std::find
#include <cstdint>    // int64_t
#include <string>     // std::string

#include "tools/tool_result.hpp"

namespace qs {
namespace {

constexpr std::string_view versionKey = "io.modelcontextprotocol/protocolVersion";
constexpr std::string_view capabilitiesKey = "io.modelcontextprotocol/clientCapabilities";
constexpr std::string_view serverInfoKey = "io.modelcontextprotocol/serverInfo";

// The revision removed "initialize" and "ping": here they are unknown names.
constexpr std::array<std::string_view, 5> modernMethods{"server/discover", "tools/list", "tools/call", "resources/list",
                                                        "prompts/list"};
// The results the revision makes cacheable. Ours hold nothing per user and do
// not change while the process lives.
constexpr std::array<std::string_view, 4> cacheableMethods{"server/discover", "tools/list", "resources/list",
                                                           "prompts/list"};
constexpr int64_t cacheTtlMs = 60 * 60 * 1000;

constexpr int64_t unsupportedVersionCode = -32022;

template <size_t N>
bool contains(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

const Json* member(const Json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

Json errorReply(const Json& id, int64_t code, const std::string& message, Json data = nullptr) {
    Json error{{"code", code}, {"message", message}};
    if (!data.is_null()) error["data"] = std::move(data);
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", std::move(error)}};
}

std::string missingMetaField(std::string_view key, std::string_view kind) {
    return "缺少 _meta 字段 `" + std::string(key) + "`(" + std::string(kind) + ")";
}

// Newest first, as the revision lists them.
template <size_t N>
void appendNewestFirst(Json& list, const std::array<std::string_view, N>& versions) {
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) list.push_back(std::string(*it));
}

// Every version we speak, for the -32022 error: the modern ones per request,
// the 2025 ones through "initialize" (a rejected request decides no era, so a
// client may still pick one of those).
Json allSupportedVersions() {
    Json versions = Json::array();
    appendNewestFirst(versions, modernProtocolVersions);
    appendNewestFirst(versions, legacyProtocolVersions);
    return versions;
}

Json discoverResult(const Json& description) {
    Json versions = Json::array();
    appendNewestFirst(versions, modernProtocolVersions);
    return Json{{"supportedVersions", std::move(versions)},
                {"capabilities", description.at("capabilities")},
                {"instructions", description.at("instructions")}};
}

// What every modern result carries besides its own members.
void decorate(Json& result, std::string_view method, const Json& serverInfo) {
    result["resultType"] = "complete";
    result["_meta"][std::string(serverInfoKey)] = serverInfo;
    if (contains(cacheableMethods, method)) {
        result["ttlMs"] = cacheTtlMs;
        result["cacheScope"] = "public";
    }
}

}  // namespace

std::optional<Json> ProtocolEra::answer(const RPCRequest& request, const Dispatch& dispatch,
                                        const Describe& describe) {
    if (era_ == Era::legacy || !request.id) return std::nullopt;
    const Json* meta = member(request.params, "_meta");
    const Json* version = meta ? member(*meta, versionKey) : nullptr;
    if (era_ == Era::undecided && !version) {
        era_ = Era::legacy;
        return std::nullopt;
    }

    const Json& id = *request.id;
    // What the methods of an unknown version mean is unknown too, so the
    // version is judged before the method.
    if (version && version->is_string() && !contains(modernProtocolVersions, version->get_ref<const std::string&>())) {
        return errorReply(id, unsupportedVersionCode, "Unsupported protocol version",
                          Json{{"supported", allSupportedVersions()}, {"requested", *version}});
    }
    // A method the era lacks outranks a malformed _meta.
    if (!contains(modernMethods, request.method)) return errorReply(id, -32601, "不支持的方法: " + request.method);
    if (!version || !version->is_string()) return errorReply(id, -32602, missingMetaField(versionKey, "字符串"));
    const Json* capabilities = member(*meta, capabilitiesKey);
    if (!capabilities || !capabilities->is_object()) {
        return errorReply(id, -32602, missingMetaField(capabilitiesKey, "对象"));
    }
    // The probe leaves the choice open: a client may still fall back to "initialize".
    if (request.method != "server/discover") era_ = Era::modern;

    const Json description = describe();
    Json result;
    if (request.method == "server/discover") {
        result = discoverResult(description);
    } else {
        // The same mapping as MCPServer::handle: protocol errors stay errors,
        // anything else a tool meets becomes a failed tool result.
        try {
            result = dispatch(request);
        } catch (const RPCError& error) {
            // The revision files an unknown tool under invalid params; its
            // 2025 answer, -32601, is the only other code "tools/call" raises.
            bool unknownTool = request.method == "tools/call" && error.code == -32601;
            return errorReply(id, unknownTool ? -32602 : error.code, error.message);
        } catch (const std::exception& error) {
            result = ToolResult::failure(error.what());
        } catch (...) {
            result = ToolResult::failure("unknown error");
        }
    }
    decorate(result, request.method, description.at("serverInfo"));
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

}  // namespace qs
