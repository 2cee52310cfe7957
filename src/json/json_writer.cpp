// The compact wire form and the pretty payload form, built once for everyone.
#include "json/json.hpp"

#include <unicode/utf8.h>  // U8_NEXT

#include <charconv>  // std::to_chars
#include <cmath>     // std::isfinite
#include <cstdint>   // int64_t, uint8_t, uint64_t
#include <utility>   // std::move

namespace qs {
namespace {

// Writes the library's own text forms (nlohmann's dump with raw UTF-8,
// sorted keys, two-space indent) in one pass that also checks what the
// strict forms refuse. The library's writer decodes every byte of every text
// through a UTF-8 automaton, and a tool reply is written twice (the payload,
// then the protocol line holding it as one text), which made writing the
// reply cost more than building it.
class Writer {
public:
    Writer(int indent, bool escapeSlash) : indent_(indent), escapeSlash_(escapeSlash) {}

    bool value(const Json& v, int depth) {
        switch (v.type()) {
        case Json::value_t::object: return container(v, depth, '{', '}', true);
        case Json::value_t::array: return container(v, depth, '[', ']', false);
        case Json::value_t::string: return text(v.get_ref<const std::string&>());
        case Json::value_t::boolean: out += v.get<bool>() ? "true" : "false"; return true;
        case Json::value_t::number_integer: return number(v.get<int64_t>());
        case Json::value_t::number_unsigned: return number(v.get<uint64_t>());
        case Json::value_t::number_float:
            // Rare in replies; the library's shortest round-trip form.
            if (!std::isfinite(v.get<double>())) return false;
            out += v.dump();
            return true;
        case Json::value_t::binary:
            // A number kept as its own text; any other binary value no reply holds.
            if (auto text = rawNumberText(v)) {
                out += *text;
            } else {
                out += "null";
            }
            return true;
        default: out += "null"; return true;
        }
    }

    std::string out;

private:
    bool container(const Json& v, int depth, char open, char close, bool members) {
        out += open;
        if (v.empty()) {
            out += close;
            return true;
        }
        bool first = true;
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (!first) out += ',';
            first = false;
            newline(depth + 1);
            if (members) {
                if (!text(it.key())) return false;
                out += indent_ >= 0 ? ": " : ":";
            }
            if (!value(*it, depth + 1)) return false;
        }
        newline(depth);
        out += close;
        return true;
    }

    void newline(int depth) {
        if (indent_ < 0) return;
        out += '\n';
        out.append(static_cast<size_t>(depth) * static_cast<size_t>(indent_), ' ');
    }

    template <typename Integer>
    bool number(Integer n) {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        out.append(digits, end);
        return true;
    }

    // Plain bytes are copied in runs; escapes as the library writes them.
    bool text(const std::string& s) {
        out += '"';
        const auto* p = reinterpret_cast<const uint8_t*>(s.data());
        const size_t length = s.size();
        size_t run = 0;
        size_t i = 0;
        while (i < length) {
            const uint8_t b = p[i];
            if (b >= 0x80) {
                UChar32 c;
                U8_NEXT(p, i, length, c);
                if (c < 0) return false;
                continue;
            }
            if (b >= 0x20 && b != '"' && b != '\\' && !(b == '/' && escapeSlash_)) {
                ++i;
                continue;
            }
            out.append(s, run, i - run);
            escape(b);
            run = ++i;
        }
        out.append(s, run, length - run);
        out += '"';
        return true;
    }

    void escape(uint8_t b) {
        switch (b) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\f': out += "\\f"; break;
        case '\r': out += "\\r"; break;
        default: {
            static constexpr char kHex[] = "0123456789abcdef";
            const char code[] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 0xF]};
            out.append(code, sizeof code);
        }
        }
    }

    int indent_;
    bool escapeSlash_;
};

std::optional<std::string> write(const Json& value, int indent, bool escapeSlash) {
    Writer writer(indent, escapeSlash);
    if (!writer.value(value, 0)) return std::nullopt;
    return std::move(writer.out);
}

// Numbers kept as their text turned back into number values.
void withRawNumbersAsValues(Json& value) {
    if (auto text = rawNumberText(value)) {
        Json number = Json::parse(text->begin(), text->end(), nullptr, /*allow_exceptions=*/false);
        value = number.is_discarded() ? Json(nullptr) : std::move(number);  // discarded: beyond a double
        return;
    }
    if (!value.is_structured()) return;
    for (Json& element : value) withRawNumbersAsValues(element);
}

}  // namespace

namespace JsonWriter {

std::optional<std::string> wire(const Json& value) { return write(value, -1, true); }

std::optional<std::string> payload(const Json& value) { return write(value, 2, false); }

std::string lenient(const Json& value) {
    // The library writes a binary value as an object of its bytes, so numbers
    // kept as text go in as the values they denote (null beyond a double).
    Json copy = value;
    withRawNumbersAsValues(copy);
    return copy.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace JsonWriter

}  // namespace qs
