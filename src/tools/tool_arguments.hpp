// A tool call's "arguments". Numbers and flags are read leniently (a wrong
// type takes the default); a text or list of texts of the wrong kind or
// form, where it would mislead, fails the call naming the argument.
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

    // A text of at least one character, of the parameter's form; else
    // throws ToolFailure.
    [[nodiscard]] std::string requiredString(const ToolParam& param) const;
    // A text with something left after trimming, returned untrimmed; absent
    // when missing, null or blank. Another kind of value, or a text not of
    // the parameter's form or values, throws ToolFailure.
    [[nodiscard]] std::optional<std::string> optionalString(const ToolParam& param) const;
    // Numbers truncated and held in the 64-bit range, booleans as 0/1,
    // decimal texts; the default otherwise.
    [[nodiscard]] int64_t integer(const ToolParam& param) const;
    // Booleans and whole numbers; the default otherwise.
    [[nodiscard]] bool flag(const ToolParam& param) const;
    // A filter's yes or no: a boolean (or 0 and 1); absent when missing or
    // null. Anything else throws ToolFailure.
    [[nodiscard]] std::optional<bool> optionalFlag(const ToolParam& param) const;
    // The texts of an array, in order; empty when missing or null. Anything
    // else, or an element that is no text, throws ToolFailure.
    [[nodiscard]] std::vector<std::string> stringArray(const ToolParam& param) const;

private:
    [[nodiscard]] const Json* member(const ToolParam& param) const;
    const Json* arguments_;
};

}  // namespace qs
