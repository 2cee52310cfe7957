// The one strict parse of a JSON document, for requests and the vault's files.
#include <string>  // std::string
#include <vector>  // std::vector

#include "json/json.hpp"
#include "json/json_numbers.hpp"

namespace qs {
namespace {

// The JSON library copies, compares and writes values recursively, so a
// document nested a few hundred thousand levels deep would overflow the stack
// long after it was parsed. No message or vault file comes close to this.
constexpr size_t kMaximumNesting = 512;

// True when no array or object in the text nests deeper than `limit`. Only
// brackets outside strings count; the text need not be valid JSON.
bool nestingWithin(std::string_view text, size_t limit) {
    size_t depth = 0;
    return forEachOutsideStrings(text, [&](size_t& i) {
        const char c = text[i];
        if (c == '[' || c == '{') return ++depth <= limit;
        if ((c == ']' || c == '}') && depth > 0) --depth;
        return true;
    });
}

// Builds the value as the library's own parser does, except that the n-th
// number of the document may be kept as its text: `tokens` holds the
// document's number tokens in order, and `asText[n]` says which.
class Builder final : public nlohmann::json_sax<Json> {
public:
    Builder(const std::vector<std::string_view>& tokens, const std::vector<bool>& asText)
        : tokens_(tokens), asText_(asText) {}

    Json root;

    bool null() override { return put(nullptr); }
    bool boolean(bool b) override { return put(b); }
    bool number_integer(number_integer_t n) override { return number(n); }
    bool number_unsigned(number_unsigned_t n) override { return number(n); }
    bool number_float(number_float_t n, const string_t&) override { return number(n); }
    bool string(string_t& s) override { return put(std::move(s)); }
    bool binary(binary_t&) override { return false; }  // no JSON text holds one
    bool start_object(std::size_t) override { return open(Json::object()); }
    bool key(string_t& name) override {
        member_ = &(*stack_.back())[name];
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    template <typename Value>
    bool number(Value n) {
        // Past the tokens only if the scan and the parser disagree, which a
        // valid document never makes them do.
        const size_t at = next_++;
        if (at >= tokens_.size()) return false;
        return asText_[at] ? put(rawNumber(tokens_[at])) : put(n);
    }

    template <typename Value>
    Json* place(Value&& v) {
        if (stack_.empty()) {
            root = Json(std::forward<Value>(v));
            return &root;
        }
        if (stack_.back()->is_array()) {
            stack_.back()->push_back(Json(std::forward<Value>(v)));
            return &stack_.back()->back();
        }
        *member_ = Json(std::forward<Value>(v));
        return member_;
    }

    template <typename Value>
    bool put(Value&& v) {
        place(std::forward<Value>(v));
        return true;
    }

    bool open(Json container) {
        stack_.push_back(place(std::move(container)));
        return true;
    }

    bool close() {
        stack_.pop_back();
        return true;
    }

    const std::vector<std::string_view>& tokens_;
    const std::vector<bool>& asText_;
    std::vector<Json*> stack_;
    Json* member_ = nullptr;
    size_t next_ = 0;
};

// The slow road: numbers found by scanning the text, those beyond a double
// (which the library refuses) stood in for by "0" padded to their length, so
// the library still judges every byte, then built back as their own text.
std::optional<Json> parseKeepingNumbers(std::string_view text, JsonNumbers numbers) {
    const std::vector<std::string_view> tokens = numberTokens(text);
    std::vector<bool> asText(tokens.size(), numbers == JsonNumbers::ownText);
    std::string patched;
    for (size_t i = 0; i < tokens.size(); ++i) {
        std::string_view token = tokens[i];
        // Nothing shorter than "2e308" lies beyond a double.
        if (token.size() < 5) continue;
        auto number = readJsonNumber(token);
        if (!number || number->kind != JsonNumber::Kind::infinite) continue;
        if (patched.empty()) patched.assign(text);
        const size_t at = static_cast<size_t>(token.data() - text.data());
        patched.replace(at, token.size(), "0" + std::string(token.size() - 1, ' '));
        asText[i] = true;
    }
    if (numbers == JsonNumbers::values && patched.empty()) return std::nullopt;  // no number was the fault
    const std::string_view input = patched.empty() ? text : std::string_view(patched);
    Builder builder(tokens, asText);
    if (!Json::sax_parse(input.begin(), input.end(), &builder, nlohmann::json::input_format_t::json,
            /*strict=*/true, /*ignore_comments=*/false)) {
        return std::nullopt;
    }
    return std::move(builder.root);
}

}  // namespace

std::optional<Json> parseJsonDocument(std::string_view text, JsonNumbers numbers) {
    if (!nestingWithin(text, kMaximumNesting)) return std::nullopt;
    std::optional<Json> parsed;
    if (numbers == JsonNumbers::values) {
        Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false,
            /*ignore_comments=*/false);
        if (!value.is_discarded()) parsed = std::move(value);
    }
    if (!parsed) parsed = parseKeepingNumbers(text, numbers);
    if (!parsed || (!parsed->is_object() && !parsed->is_array())) return std::nullopt;
    return parsed;
}

}  // namespace qs
