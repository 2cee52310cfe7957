// One incoming JSON-RPC message.
#pragma once

#include <optional>  // std::optional
#include <string>    // std::string

#include "json/json.hpp"
#include "protocol/rpc_error.hpp"

namespace qs {

struct RPCRequest {
    std::optional<Json> id;  // absent for a notification (missing or null "id")
    std::string method;
    Json params = Json::object();  // "params" when an object, else empty
    std::optional<std::string> rawId;  // the id's exact number text, when its value cannot hold it

    // Nothing when "method" is missing or not a text.
    static std::optional<RPCRequest> fromRaw(const Json& raw);
};

}  // namespace qs
