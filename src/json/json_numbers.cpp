// Number tokens by the JSON grammar, so every reader agrees on what a number is.
#include "json/json_numbers.hpp"

#include <cmath>    // HUGE_VAL
#include <cstdint>  // std::uint64_t, INT64_MIN, INT64_MAX

#include "json/json.hpp"

namespace qs {
namespace {

// nlohmann reads a number by the grammar before it refuses one beyond a
// double (error 406), so that error at the token's end means the whole token
// is such a number. Integers beyond 64 bits it hands over as reals.
class NumberProbe final : public nlohmann::json_sax<Json> {
public:
    std::optional<JsonNumber> number;
    std::size_t infiniteAt = 0;

    bool null() override { return false; }
    bool boolean(bool) override { return false; }
    bool number_integer(number_integer_t n) override {
        return found(JsonNumber::Kind::integer, static_cast<double>(n));
    }
    bool number_unsigned(number_unsigned_t n) override {
        return found(JsonNumber::Kind::integer, static_cast<double>(n));
    }
    bool number_float(number_float_t n, const string_t& text) override {
        const bool plain = text.find_first_of(".eE") == string_t::npos;
        return found(plain ? JsonNumber::Kind::wideInteger : JsonNumber::Kind::real, n);
    }
    bool string(string_t&) override { return false; }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override { return false; }
    bool key(string_t&) override { return false; }
    bool end_object() override { return false; }
    bool start_array(std::size_t) override { return false; }
    bool end_array() override { return false; }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override {
        if (error.id == 406) infiniteAt = position;
        return false;
    }

private:
    bool found(JsonNumber::Kind kind, double value) {
        number = JsonNumber{kind, value};
        return true;
    }
};

bool startsNumber(char c) { return c == '-' || (c >= '0' && c <= '9'); }
bool continuesNumber(char c) { return startsNumber(c) || c == '+' || c == '.' || c == 'e' || c == 'E'; }

// The binary subtype that marks a number kept as its text ("N").
constexpr std::uint64_t kRawNumberSubtype = 0x4E;

}  // namespace

Json rawNumber(std::string_view text) {
    return Json::binary(Json::binary_t::container_type(text.begin(), text.end()), kRawNumberSubtype);
}

std::optional<std::string_view> rawNumberText(const Json& value) {
    if (!value.is_binary()) return std::nullopt;
    const Json::binary_t& bytes = value.get_binary();
    if (!bytes.has_subtype() || bytes.subtype() != kRawNumberSubtype) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::optional<JsonNumber> readJsonNumber(std::string_view token) {
    if (token.empty() || !startsNumber(token.front())) return std::nullopt;
    NumberProbe probe;
    if (Json::sax_parse(token.begin(), token.end(), &probe)) return probe.number;
    if (probe.infiniteAt != token.size()) return std::nullopt;
    return JsonNumber{JsonNumber::Kind::infinite, token.front() == '-' ? -HUGE_VAL : HUGE_VAL};
}

std::vector<std::string_view> numberTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    forEachOutsideStrings(text, [&](size_t& i) {
        if (!startsNumber(text[i])) return true;
        size_t end = i + 1;
        while (end < text.size() && continuesNumber(text[end])) ++end;
        tokens.push_back(text.substr(i, end - i));
        i = end - 1;
        return true;
    });
    return tokens;
}

// -2^63 is exact as a double; 2^63 is the first value past the range.
constexpr double kInt64Low = -9223372036854775808.0;

int64_t truncatedInt64(double value) {
    if (std::isnan(value)) return 0;
    const double whole = std::trunc(value);
    if (whole < kInt64Low) return INT64_MIN;
    if (whole >= -kInt64Low) return INT64_MAX;
    return static_cast<int64_t>(whole);
}

std::optional<int64_t> exactInt64(double value) {
    if (!(value >= kInt64Low && value < -kInt64Low) || std::trunc(value) != value) return std::nullopt;
    return static_cast<int64_t>(value);
}

}  // namespace qs
