// One incoming JSON-RPC message, and the id its reply echoes.
#pragma once

#include <optional>  // std::optional
#include <string>    // std::string

#include "json/json.hpp"

namespace qs {

// A request id as the client wrote it: the value, and the text the reply
// carries back, so a number a double would round keeps its every digit.
class RequestId {
public:
    // `text` is the id exactly as written, for a number its value cannot hold;
    // without it the value's own wire form is used.
    explicit RequestId(Json value = nullptr, std::optional<std::string> text = std::nullopt);

    // The message's "id" member (null when it has none).
    static RequestId of(const Json& message, std::optional<std::string> text = std::nullopt);

    [[nodiscard]] const Json& value() const { return value_; }
    [[nodiscard]] const std::string& text() const { return text_; }

private:
    Json value_;
    std::string text_;
};

struct RPCRequest {
    std::optional<RequestId> id;  // absent for a notification (missing or null "id")
    std::string method;
    Json params = Json::object();  // "params" when an object, else empty

    // Nothing when "method" is missing or not a text; `idText` as for RequestId.
    static std::optional<RPCRequest> fromJson(const Json& raw, std::optional<std::string> idText = std::nullopt);
};

}  // namespace qs
