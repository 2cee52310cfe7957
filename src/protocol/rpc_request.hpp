// One incoming JSON-RPC message, and the five accessors through which every
// tool reads its arguments.
#pragma once

#include <cstdint>   // int64_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "json/json.hpp"
#include "protocol/rpc_error.hpp"

namespace qs {

struct RPCRequest {
    std::optional<Json> id;  // absent for a notification (missing or null "id")
    std::string method;
    Json params = Json::object();  // "params" when an object, else empty

    // Nothing when "method" is missing or not a text.
    static std::optional<RPCRequest> fromRaw(const Json& raw);

    // A text of at least one character; else throws RPCError -32602.
    std::string requiredString(const std::string& key) const;
    // A text with something left after trimming; returned untrimmed.
    std::optional<std::string> optionalString(const std::string& key) const;
    int64_t optionalInt(const std::string& key, int64_t defaultValue) const;
    bool optionalBool(const std::string& key, bool defaultValue) const;
    // The text elements of an array, in order; empty otherwise.
    std::vector<std::string> optionalStringArray(const std::string& key) const;
};

}  // namespace qs
