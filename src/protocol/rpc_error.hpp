// A JSON-RPC error, thrown and turned into an error reply.
#pragma once

#include <cstdint>    // int64_t
#include <exception>  // std::exception
#include <string>     // std::string

namespace qs {

struct RPCError : std::exception {
    RPCError(int64_t code, std::string message) : code(code), message(std::move(message)) {}
    const char* what() const noexcept override { return message.c_str(); }

    int64_t code;
    std::string message;
};

}  // namespace qs
