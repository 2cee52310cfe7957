// The error a tool throws; the client sees "❌ " + description.
#pragma once

#include <exception>    // std::exception
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs {

struct ToolFailure : std::exception {
    explicit ToolFailure(std::string description) : description(std::move(description)) {}
    [[nodiscard]] const char* what() const noexcept override { return description.c_str(); }

    std::string description;
};

// The text of a failure that is no std::exception and so has none of its own.
inline constexpr std::string_view kUnknownError = "unknown error";

}  // namespace qs
