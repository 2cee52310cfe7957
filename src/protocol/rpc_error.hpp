// A JSON-RPC error, thrown by a handler and turned into an error reply.
#pragma once

#include <cstdint>    // int64_t
#include <exception>  // std::exception
#include <string>     // std::string

#include "json/json.hpp"

namespace qs {

// Every code this server answers with.
enum class RPCCode : int64_t {
    parseError = -32700,
    invalidRequest = -32600,
    methodNotFound = -32601,
    invalidParams = -32602,
    internalError = -32603,
    resourceNotFound = -32002,    // resources/read of a URI that names nothing (2025 era)
    unsupportedVersion = -32022,  // a _meta version we do not serve (revision 2026-07-28)
};

struct RPCError : std::exception {
    RPCError(RPCCode code, std::string message, Json data = nullptr)
        : code(code), message(std::move(message)), data(std::move(data)) {}
    [[nodiscard]] const char* what() const noexcept override { return message.c_str(); }

    // The one wording of an unknown method, whichever era asks.
    static RPCError unknownMethod(const std::string& method) {
        return RPCError(RPCCode::methodNotFound, "不支持的方法: " + method);
    }

    RPCCode code;
    std::string message;
    Json data;  // the error's "data" member; null for none
};

}  // namespace qs
