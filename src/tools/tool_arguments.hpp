// A tool call's "arguments", read leniently: wrong types fall back to the
// parameter's default, except a required text, whose absence fails the call.
#pragma once

#include <cstdint>   // int64_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "json/json.hpp"
#include "tools/tool.hpp"

namespace qs {

class ToolArguments {
public:
    // Anything but an object reads as no arguments at all.
    explicit ToolArguments(const Json& arguments);

    // A text of at least one character; else throws ToolFailure.
    std::string requiredString(const ToolParam& param) const;
    // A text with something left after trimming; returned untrimmed.
    std::optional<std::string> optionalString(const ToolParam& param) const;
    // Numbers truncated and held in the 64-bit range, booleans as 0/1,
    // decimal texts; the default otherwise.
    int64_t integer(const ToolParam& param) const;
    // Booleans and whole numbers; the default otherwise.
    bool flag(const ToolParam& param) const;
    // The text elements of an array, in order; empty otherwise.
    std::vector<std::string> stringArray(const ToolParam& param) const;

private:
    const Json* member(const ToolParam& param) const;
    const Json* arguments_;
};

}  // namespace qs
