// Reply lines. The members are written in sorted order ("error" or "result"
// around "id" and "jsonrpc"), the order the wire form gives any object, and
// the id goes in as the text the client wrote.
#include "protocol/reply.hpp"

#include "platform/log.hpp"

namespace qs {
namespace {

Json errorObject(const RPCError& error) {
    Json object{{"code", static_cast<int64_t>(error.code)}, {"message", error.message}};
    if (!error.data.is_null()) object["data"] = error.data;
    return object;
}

}  // namespace

std::string replyLine(const RequestId& id, const Outcome& outcome) {
    const auto* error = std::get_if<RPCError>(&outcome);
    auto body = error ? JsonWriter::wire(errorObject(*error)) : JsonWriter::wire(std::get<Json>(outcome));
    if (!body) {
        logStderr("⚠️ 响应不是合法 JSON,已降级为 internal error");
        return replyLine(id, RPCError(RPCCode::internalError, "response serialization failed"));
    }
    if (error) return "{\"error\":" + *body + ",\"id\":" + id.text() + ",\"jsonrpc\":\"2.0\"}";
    return "{\"id\":" + id.text() + ",\"jsonrpc\":\"2.0\",\"result\":" + *body + "}";
}

}  // namespace qs
