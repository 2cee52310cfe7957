// The modern era's rules: the _meta version check, its errors, the discover
// result, and the members every modern result carries.
#include "protocol/protocol_era.hpp"

#include <algorithm>  // std::find
#include <cstdint>    // int64_t
#include <string>     // std::string

namespace qs::ProtocolEra {
namespace {

constexpr std::string_view kVersionKey = "io.modelcontextprotocol/protocolVersion";
constexpr std::string_view kCapabilitiesKey = "io.modelcontextprotocol/clientCapabilities";
constexpr std::string_view kServerInfoKey = "io.modelcontextprotocol/serverInfo";

// Our cacheable results hold nothing per user and do not change while the process lives.
constexpr int64_t kCacheTtlMs = int64_t{60} * 60 * 1000;

// Tool titles and structuredContent are part of the protocol from this version on.
constexpr std::string_view kRichResultsSince = "2025-06-18";

const Json* member(const Json* object, std::string_view key) {
    if (!object || !object->is_object()) return nullptr;
    auto it = object->find(key);
    return it == object->end() ? nullptr : &*it;
}

const Json* meta(const RPCRequest& request) { return member(&request.params, "_meta"); }

std::string missingMetaField(std::string_view key, std::string_view kind) {
    return "缺少 _meta 字段 `" + std::string(key) + "`(" + std::string(kind) + ")";
}

// Newest first, as the revision lists them.
Json servedVersions() {
    Json versions = Json::array();
    for (auto it = kModernProtocolVersions.rbegin(); it != kModernProtocolVersions.rend(); ++it) {
        versions.push_back(std::string(*it));
    }
    return versions;
}

}  // namespace

const Json* requestedVersion(const RPCRequest& request) { return member(meta(request), kVersionKey); }

std::optional<RPCError> refuseVersion(const Json& version) {
    if (!version.is_string()) return std::nullopt;
    const auto& text = version.get_ref<const std::string&>();
    if (std::find(kModernProtocolVersions.begin(), kModernProtocolVersions.end(), text) !=
        kModernProtocolVersions.end()) {
        return std::nullopt;
    }
    return RPCError(RPCCode::unsupportedVersion, "Unsupported protocol version",
        Json{{"supported", servedVersions()}, {"requested", version}});
}

std::optional<RPCError> checkMeta(const RPCRequest& request) {
    const Json* version = requestedVersion(request);
    if (!version || !version->is_string())
        return RPCError(RPCCode::invalidParams, missingMetaField(kVersionKey, "字符串"));
    const Json* capabilities = member(meta(request), kCapabilitiesKey);
    if (!capabilities || !capabilities->is_object()) {
        return RPCError(RPCCode::invalidParams, missingMetaField(kCapabilitiesKey, "对象"));
    }
    return std::nullopt;
}

bool richResults(std::string_view negotiatedVersion) {
    // Version names are dates, so text order is time order.
    return !negotiatedVersion.empty() && negotiatedVersion >= kRichResultsSince;
}

Json discoverResult(Json capabilities, std::string_view instructions) {
    return Json{{"supportedVersions", servedVersions()}, {"capabilities", std::move(capabilities)},
        {"instructions", std::string(instructions)}};
}

void decorate(Json& result, bool cacheable, const Json& serverInfo) {
    result["resultType"] = "complete";
    result["_meta"][std::string(kServerInfoKey)] = serverInfo;
    // A handler that knows its result holds the user's data has said so already.
    if (cacheable) {
        result.emplace("ttlMs", kCacheTtlMs);
        result.emplace("cacheScope", "public");
    }
}

}  // namespace qs::ProtocolEra
