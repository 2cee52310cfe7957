// Reading a tool call's arguments: lenient accessors with the parameters' own defaults.
#include "tools/tool_arguments.hpp"

#include <charconv>  // std::from_chars
#include <cmath>     // std::trunc, std::isfinite
#include <limits>    // std::numeric_limits

#include "json/json_numbers.hpp"
#include "text/dates.hpp"
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

std::string_view exampleOf(const ToolParam& param) {
    if (!param.example.empty()) return param.example;
    if (param.form == TextForm::day) return "2025-03-01";
    if (!param.enumValues.empty()) return param.enumValues.front();
    if (param.type == "boolean") return "true";
    return param.type == "array" ? R"(["工作", "周会"])" : "周会";
}

// The one shape of every refusal: the argument, what it must be, the value
// as received, and a value that would do.
[[noreturn]] void refuse(const ToolParam& param, const std::string& expected, const Json& value) {
    const std::string shown =
        value.is_string() ? value.get<std::string>() : value.dump(-1, ' ', false, Json::error_handler_t::replace);
    throw ToolFailure(std::string(param.name) + " 要" + expected + ",收到的是「" + shown + "」。例如 " +
                      std::string(exampleOf(param)) + "。");
}

// Throws unless `text` is of the parameter's form and values.
void checkForm(const ToolParam& param, const std::string& text) {
    switch (param.form) {
    case TextForm::any: break;
    case TextForm::day:
        // The shape first, in the words the write tools have always used.
        if (!Text::isDayShape(text)) refuse(param, "写成 yyyy-MM-dd", text);
        if (!Text::isCalendarDay(text)) refuse(param, "是日历上有的日期(yyyy-MM-dd)", text);
        break;
    case TextForm::nonBlank:
        if (Text::trimWhitespace(text).empty()) refuse(param, "有空白以外的内容", text);
        break;
    }
    if (param.enumValues.empty()) return;
    std::string listed;
    for (std::string_view value : param.enumValues) {
        if (value == text) return;
        listed += listed.empty() ? "" : "、";
        listed += value;
    }
    refuse(param, "是 " + listed + " 之一", text);
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
        checkForm(param, value->get_ref<const std::string&>());
        return value->get<std::string>();
    }
    throw ToolFailure("缺少必填参数 `" + std::string(param.name) + "`(非空字符串)");
}

std::optional<std::string> ToolArguments::optionalString(const ToolParam& param) const {
    const Json* value = member(param);
    if (!value || value->is_null()) return std::nullopt;
    if (!value->is_string()) refuse(param, "是文本(字符串)", *value);
    const auto& textValue = value->get_ref<const std::string&>();
    if (Text::trimWhitespace(textValue).empty()) return std::nullopt;
    checkForm(param, textValue);
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

std::optional<bool> ToolArguments::optionalFlag(const ToolParam& param) const {
    const Json* value = member(param);
    if (!value || value->is_null()) return std::nullopt;
    if (value->is_boolean()) return value->get<bool>();
    if (value->is_number() && (*value == 0 || *value == 1)) return *value == 1;
    refuse(param, "是 true 或 false", *value);
}

std::vector<std::string> ToolArguments::stringArray(const ToolParam& param) const {
    std::vector<std::string> texts;
    const Json* value = member(param);
    if (!value || value->is_null()) return texts;
    if (!value->is_array()) refuse(param, "是文本的列表", *value);
    for (const auto& element : *value) {
        if (!element.is_string()) refuse(param, "是文本的列表,每一项都是文本", *value);
        texts.push_back(element.get<std::string>());
    }
    return texts;
}

}  // namespace qs
