// Turning a raw message into a request.
#include "protocol/rpc_request.hpp"

namespace qs {
namespace {

const Json* member(const Json& params, const std::string& key) {
    auto it = params.find(key);
    return it == params.end() ? nullptr : &*it;
}

}  // namespace

std::optional<RPCRequest> RPCRequest::fromRaw(const Json& raw) {
    if (!raw.is_object()) return std::nullopt;
    const Json* method = member(raw, "method");
    if (!method || !method->is_string()) return std::nullopt;
    RPCRequest request;
    request.method = method->get<std::string>();
    if (const Json* id = member(raw, "id"); id && !id->is_null()) request.id = *id;
    if (const Json* params = member(raw, "params"); params && params->is_object()) request.params = *params;
    return request;
}

}  // namespace qs
