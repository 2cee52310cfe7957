// The error a tool throws; the client sees "❌ " + description.
#pragma once

#include <exception>  // std::exception
#include <string>     // std::string

namespace qs {

struct ToolFailure : std::exception {
    explicit ToolFailure(std::string description) : description(std::move(description)) {}
    const char* what() const noexcept override { return description.c_str(); }

    std::string description;
};

}  // namespace qs
