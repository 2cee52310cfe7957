// Turning a raw message into a request.
#include "protocol/rpc_request.hpp"

namespace qs {

RequestId::RequestId(Json value, std::optional<std::string> text) : value_(std::move(value)) {
    if (!text) text = JsonWriter::wire(value_);
    // Only a number no double holds has no wire form, and such an id comes with its text.
    text_ = text ? std::move(*text) : "null";
}

RequestId RequestId::of(const Json& message, std::optional<std::string> text) {
    auto it = message.find("id");  // end() for a non-object too
    return it == message.end() ? RequestId() : RequestId(*it, std::move(text));
}

std::optional<RPCRequest> RPCRequest::fromJson(const Json& raw, std::optional<std::string> idText) {
    if (!raw.is_object()) return std::nullopt;
    auto method = raw.find("method");
    if (method == raw.end() || !method->is_string()) return std::nullopt;
    RPCRequest request;
    request.method = method->get<std::string>();
    if (auto id = raw.find("id"); id != raw.end() && !id->is_null()) request.id = RequestId(*id, std::move(idText));
    if (auto params = raw.find("params"); params != raw.end() && params->is_object()) request.params = *params;
    return request;
}

}  // namespace qs
