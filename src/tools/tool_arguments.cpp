// Reading a tool call's arguments: lenient accessors with the parameters' own defaults.
#include "tools/tool_arguments.hpp"

#include <charconv>  // std::from_chars
#include <cmath>     // std::trunc, std::isfinite
#include <limits>    // std::numeric_limits

#include "json/json_numbers.hpp"
#include "text/unicode.hpp"
#include "tools/tool_failure.hpp"

namespace qs {
namespace {

// "+12", "-12", "12": one optional sign and decimal digits only, inside the
// 64-bit range.
std::optional<int64_t> parseDecimal(std::string_view text) {
    // from_chars takes a "-" but not a "+", so a plus sign is stepped over.
    std::string_view digits = text;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    if (text.front() == '+') text.remove_prefix(1);
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

ToolArguments::ToolArguments(const Json& arguments) : arguments_(arguments.is_object() ? &arguments : nullptr) {}

const Json* ToolArguments::member(const ToolParam& param) const {
    if (!arguments_) return nullptr;
    auto it = arguments_->find(std::string(param.name));
    return it == arguments_->end() ? nullptr : &*it;
}

std::string ToolArguments::requiredString(const ToolParam& param) const {
    const Json* value = member(param);
    if (value && value->is_string() && !value->get_ref<const std::string&>().empty()) {
        return value->get<std::string>();
    }
    throw ToolFailure("缺少必填参数 `" + std::string(param.name) + "`(非空字符串)");
}

std::optional<std::string> ToolArguments::optionalString(const ToolParam& param) const {
    const Json* value = member(param);
    if (!value || !value->is_string()) return std::nullopt;
    const auto& textValue = value->get_ref<const std::string&>();
    if (Text::trimWhitespace(textValue).empty()) return std::nullopt;
    return textValue;
}

int64_t ToolArguments::integer(const ToolParam& param) const {
    const int64_t defaultValue = param.defaultValue;
    const Json* value = member(param);
    if (!value) return defaultValue;
    switch (value->type()) {
    case Json::value_t::boolean: return value->get<bool>() ? 1 : 0;
    case Json::value_t::number_integer: return value->get<int64_t>();
    case Json::value_t::number_unsigned: {
        uint64_t u = value->get<uint64_t>();
        constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
        return u > kMax ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(u);
    }
    case Json::value_t::number_float: return truncatedInt64(value->get<double>());
    case Json::value_t::string: return parseDecimal(value->get_ref<const std::string&>()).value_or(defaultValue);
    default: return defaultValue;
    }
}

bool ToolArguments::flag(const ToolParam& param) const {
    const bool defaultValue = param.defaultValue != 0;
    const Json* value = member(param);
    if (!value) return defaultValue;
    switch (value->type()) {
    case Json::value_t::boolean: return value->get<bool>();
    case Json::value_t::number_integer: return value->get<int64_t>() != 0;
    case Json::value_t::number_unsigned: return value->get<uint64_t>() != 0;
    case Json::value_t::number_float: {
        // Only whole numbers read as flags; 0.5 is neither yes nor no.
        double d = value->get<double>();
        if (d == 0) return false;
        return std::isfinite(d) && std::trunc(d) == d ? true : defaultValue;
    }
    default: return defaultValue;
    }
}

std::vector<std::string> ToolArguments::stringArray(const ToolParam& param) const {
    std::vector<std::string> texts;
    const Json* value = member(param);
    if (!value || !value->is_array()) return texts;
    for (const auto& element : *value) {
        if (element.is_string()) texts.push_back(element.get<std::string>());
    }
    return texts;
}

}  // namespace qs
