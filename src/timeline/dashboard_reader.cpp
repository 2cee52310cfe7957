// One pass of simdjson on-demand over Dashboard.json, straight into feed items.
//
// On-demand only checks what it is asked for, and a truncated or garbled file
// must fail the load rather than yield fewer items. So every value is visited:
// the ones an item needs are read, all others (unknown keys, mistyped values,
// elements that are no objects) are checked down to their last token, and the
// document must end right after the top-level object.
#include "timeline/dashboard_reader.hpp"

#include <cstring>  // std::memchr, std::memcpy
#include <utility>  // std::move

#include "json/json.hpp"
#include "json/json_escapes.hpp"
#include "json/json_numbers.hpp"
#include "text/unicode.hpp"

namespace qs {
namespace {

namespace od = simdjson::ondemand;
using simdjson::SUCCESS;

// Deeper nesting is refused rather than recursed into; it stays well inside
// the depth simdjson's parser is sized for.
constexpr int kMaxDepth = 512;

enum class ItemKey {
    id,
    type,
    date,
    title,
    content,
    source,
    tags,
    people,
    projects,
    outputRelPath,
    processingState,
    extractedTasks,
    importance,
    other
};

ItemKey itemKey(std::string_view key) {
    switch (key.size()) {
    case 2: return key == "id" ? ItemKey::id : ItemKey::other;
    case 4:
        if (key == "type") return ItemKey::type;
        if (key == "date") return ItemKey::date;
        if (key == "tags") return ItemKey::tags;
        return ItemKey::other;
    case 5: return key == "title" ? ItemKey::title : ItemKey::other;
    case 6:
        if (key == "source") return ItemKey::source;
        if (key == "people") return ItemKey::people;
        return ItemKey::other;
    case 7: return key == "content" ? ItemKey::content : ItemKey::other;
    case 8: return key == "projects" ? ItemKey::projects : ItemKey::other;
    case 10: return key == "importance" ? ItemKey::importance : ItemKey::other;
    case 13: return key == "outputRelPath" ? ItemKey::outputRelPath : ItemKey::other;
    case 14: return key == "extractedTasks" ? ItemKey::extractedTasks : ItemKey::other;
    case 15: return key == "processingState" ? ItemKey::processingState : ItemKey::other;
    default: return ItemKey::other;
    }
}

bool isJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// A number value as a double, ±infinity beyond a double's range; nothing when
// the token is no JSON number. simdjson refuses numbers beyond its 64-bit
// integers and doubles (99999999999999999999, 1e400), which RFC 8259 allows,
// so the JSON grammar judges those.
std::optional<double> readNumber(od::value& value, std::string_view token) {
    od::number number;
    switch (value.get_number().get(number)) {
    case SUCCESS: return number.as_double();
    case simdjson::NUMBER_ERROR:
    case simdjson::NUMBER_OUT_OF_RANGE: {
        auto read = readJsonNumber(token);
        return read ? std::optional(read->value) : std::nullopt;
    }
    default: return std::nullopt;
    }
}

std::string_view trimTrailingSpace(std::string_view token) {
    while (!token.empty() && isJsonSpace(token.back())) token.remove_suffix(1);
    return token;
}

class Reader {
public:
    Reader(IndexArena& arena, char* base, size_t length, const ItemFilter* filter, std::vector<size_t>& picked)
        : arena_(arena), base_(base), end_(base + length), filter_(filter), picked_(picked) {}

    bool document(size_t capacity, std::vector<FeedItem>& items, std::optional<std::string>& updatedAt) {
        od::document doc;
        simdjson::padded_string_view view(base_, static_cast<size_t>(end_ - base_), capacity);
        if (arena_.parser.iterate(view).get(doc) != SUCCESS) return false;
        od::object root;
        if (doc.get_object().get(root) != SUCCESS) return false;
        for (auto result : root) {
            od::field field;
            std::string_view key;
            if (std::move(result).get(field) != SUCCESS || !readKey(field, key)) return false;
            od::value& value = field.value();
            if (key == "feedItems") {
                // A repeated key counts with its last value, as JSON readers do.
                items.clear();
                picked_.clear();
                if (!feedItems(value, items)) return false;
            } else if (key == "updatedAt") {
                std::optional<std::string_view> text;
                if (!optionalText(value, text, 2)) return false;
                updatedAt = text ? std::optional<std::string>(*text) : std::nullopt;
            } else if (!validate(value, 2)) {
                return false;
            }
        }
        // Anything after the top-level object makes the file no JSON document.
        const char* location = nullptr;
        return doc.current_location().get(location) == simdjson::OUT_OF_BOUNDS;
    }

private:
    bool feedItems(od::value& value, std::vector<FeedItem>& items) {
        od::json_type type;
        if (value.type().get(type) != SUCCESS) return false;
        if (type != od::json_type::array) return validate(value, 2);
        od::array array;
        if (value.get_array().get(array) != SUCCESS) return false;
        for (auto result : array) {
            od::value element;
            if (result.get(element) != SUCCESS) return false;
            od::json_type elementType;
            if (element.type().get(elementType) != SUCCESS) return false;
            if (elementType != od::json_type::object) {
                if (!validate(element, 3)) return false;
                continue;
            }
            od::object object;
            if (element.get_object().get(object) != SUCCESS || !item(object, items)) return false;
        }
        return true;
    }

    bool item(od::object& object, std::vector<FeedItem>& items) {
        constexpr int kDepth = 4;  // of the item's values
        // Built in place: the item vector is too big for the caches, so a
        // second copy of each item would cost a trip to memory.
        FeedItem& item = items.emplace_back();
        std::optional<std::string_view> id;
        std::optional<std::string_view> text;
        for (auto result : object) {
            od::field field;
            std::string_view key;
            if (std::move(result).get(field) != SUCCESS || !readKey(field, key)) return false;
            od::value& value = field.value();
            bool ok = true;
            switch (itemKey(key)) {
            case ItemKey::id:
                ok = optionalText(value, id, kDepth);
                if (id && id->empty()) id.reset();
                break;
            case ItemKey::type:
                ok = optionalText(value, text, kDepth);
                item.type = text.value_or("text");
                break;
            case ItemKey::date:
                ok = optionalText(value, text, kDepth);
                item.dateISO = text.value_or("");
                break;
            case ItemKey::title:
                ok = optionalText(value, text, kDepth);
                item.title = text ? std::optional(Text::trimWhitespace(*text)) : std::nullopt;
                break;
            case ItemKey::content:
                ok = optionalText(value, text, kDepth);
                item.content = text.value_or("");
                break;
            case ItemKey::source: ok = optionalText(value, item.source, kDepth); break;
            case ItemKey::outputRelPath: ok = optionalText(value, item.outputRelPath, kDepth); break;
            case ItemKey::processingState: ok = optionalText(value, item.processingState, kDepth); break;
            case ItemKey::tags: ok = textList(value, item.tags, kDepth); break;
            case ItemKey::people: ok = textList(value, item.people, kDepth); break;
            case ItemKey::projects: ok = textList(value, item.projects, kDepth); break;
            case ItemKey::extractedTasks: ok = textList(value, item.extractedTasks, kDepth); break;
            case ItemKey::importance: ok = integer(value, item.importance, kDepth); break;
            case ItemKey::other: ok = validate(value, kDepth); break;
            }
            if (!ok) return false;
        }
        if (!id) {
            items.pop_back();  // no usable id: the entry is dropped, the file is fine
            return true;
        }
        item.id = *id;
        item.day = FeedItem::deriveDay(item.outputRelPath, item.dateISO);
        if (filter_ && filter_->keeps(item)) picked_.push_back(items.size() - 1);
        return true;
    }

    // The text of a string value; nothing for any other kind of value.
    bool optionalText(od::value& value, std::optional<std::string_view>& out, int depth) {
        std::string_view text;
        switch (takeString(value, text, true)) {
        case Taken::string: out = text; return true;
        case Taken::otherKind: out.reset(); return validate(value, depth);
        case Taken::invalid: break;
        }
        return false;
    }

    // The string elements of an array, in order; empty for anything else.
    bool textList(od::value& value, FeedItem::TextList& out, int depth) {
        out = {};
        od::array array;
        simdjson::error_code error = value.get_array().get(array);
        if (error == simdjson::INCORRECT_TYPE) return validate(value, depth);
        if (error != SUCCESS) return false;
        arena_.lists.begin();
        for (auto result : array) {
            od::value element;
            std::string_view text;
            if (result.get(element) != SUCCESS) return false;
            switch (takeString(element, text, true)) {
            case Taken::string: arena_.lists.push(text); break;
            case Taken::otherKind:
                if (!validate(element, depth + 1)) return false;
                break;
            case Taken::invalid: return false;
            }
        }
        out = arena_.lists.finish();
        return true;
    }

    // A number truncated toward zero (clamped to the 64-bit range), a boolean
    // as 1 or 0; anything else leaves `out` at its default.
    bool integer(od::value& value, int64_t& out, int depth) {
        od::json_type type;
        if (value.type().get(type) != SUCCESS) return false;
        out = 3;
        if (type == od::json_type::boolean) {
            bool flag = false;
            if (value.get_bool().get(flag) != SUCCESS) return false;
            out = flag ? 1 : 0;
            return true;
        }
        if (type != od::json_type::number) return validate(value, depth);
        int64_t whole = 0;
        if (value.get_int64().get(whole) == SUCCESS) {
            out = whole;
            return true;
        }
        // Not taken yet: a failed read leaves the value where it was.
        const std::optional<double> real = readNumber(value, trimTrailingSpace(value.raw_json_token()));
        if (!real) return false;
        out = truncatedInt64(*real);
        return true;
    }

    // Visits a value to its last token and says whether it is valid JSON.
    bool validate(od::value& value, int depth) {
        od::json_type type;
        if (value.type().get(type) != SUCCESS) return false;
        switch (type) {
        case od::json_type::object: {
            od::object object;
            if (depth > kMaxDepth || value.get_object().get(object) != SUCCESS) return false;
            for (auto result : object) {
                od::field field;
                std::string_view key;
                if (std::move(result).get(field) != SUCCESS || !readKey(field, key)) return false;
                if (!validate(field.value(), depth + 1)) return false;
            }
            return true;
        }
        case od::json_type::array: {
            od::array array;
            if (depth > kMaxDepth || value.get_array().get(array) != SUCCESS) return false;
            for (auto result : array) {
                od::value element;
                if (result.get(element) != SUCCESS || !validate(element, depth + 1)) return false;
            }
            return true;
        }
        case od::json_type::string: {
            std::string_view ignored;
            return takeString(value, ignored, false) == Taken::string;
        }
        case od::json_type::number: return readNumber(value, trimTrailingSpace(value.raw_json_token())).has_value();
        case od::json_type::boolean: {
            bool flag = false;
            return value.get_bool().get(flag) == SUCCESS;
        }
        case od::json_type::null: {
            bool isNull = false;
            return value.is_null().get(isNull) == SUCCESS && isNull;
        }
        // simdjson 4 adds `unknown` (a token that is no JSON value); releases
        // before it have no such value, so it cannot be named here.
        default: return false;
        }
    }

    enum class Taken { string, otherKind, invalid };

    // A string value without copying: its raw bytes when it has no escape,
    // else its unescaped form written back over its own raw bytes (never
    // longer), which on-demand does not read again once the value is taken.
    // Any other kind of value is left untouched for the caller.
    Taken takeString(od::value& value, std::string_view& out, bool keep) {
        // Taking the string consumes it: left for on-demand to skip, a string
        // followed by ":" would pass for an object key, and an array holding
        // `"a": 1` could slip through.
        od::raw_json_string raw;
        simdjson::error_code error = value.get_raw_json_string().get(raw);
        if (error == simdjson::INCORRECT_TYPE) return Taken::otherKind;
        if (error != SUCCESS) return Taken::invalid;
        std::string_view token = trimTrailingSpace(value.raw_json_token());
        if (token.size() < 2 || token.front() != '"' || token.back() != '"') return Taken::invalid;
        const char* begin = token.data() + 1;
        size_t rawLength = token.size() - 2;
        if (!std::memchr(begin, '\\', rawLength)) {
            out = {begin, rawLength};
            return Taken::string;
        }
        std::string_view unescaped;
        // A lone surrogate escape costs only its own character: rewritten
        // in place to U+FFFD's escape (same length), the text is read again.
        if (!unescape(raw, rawLength, unescaped) &&
            !(replaceLoneSurrogateEscapes(base_ + (begin - base_), rawLength) && unescape(raw, rawLength, unescaped))) {
            return Taken::invalid;
        }
        if (keep) {
            char* target = base_ + (begin - base_);
            std::memcpy(target, unescaped.data(), unescaped.size());
            out = {target, unescaped.size()};
        }
        return Taken::string;
    }

    // The key of a field: its raw bytes unless it holds an escape.
    bool readKey(od::field& field, std::string_view& out) {
        const char* begin = field.key().raw();
        // Keys are short and rarely escaped: a plain loop beats library calls.
        // The document passed simdjson's first stage, so every string is closed.
        const char* quote = begin;
        while (*quote != '"' && *quote != '\\') ++quote;
        if (*quote == '"') {
            out = {begin, static_cast<size_t>(quote - begin)};
            return true;
        }
        // Escaped keys are rare enough for the parser's own string buffer.
        return field.unescaped_key().get(out) == SUCCESS;
    }

    // One string at a time into the arena's scratch buffer, so unescaping
    // touches no more memory than the longest string needs. Escapes naming a
    // lone surrogate are refused by the unescaper itself.
    bool unescape(od::raw_json_string raw, size_t rawLength, std::string_view& out) {
        std::string& scratch = arena_.scratch;
        if (scratch.size() < rawLength + simdjson::SIMDJSON_PADDING)
            scratch.resize(rawLength + rawLength / 2 + simdjson::SIMDJSON_PADDING);
        auto* dst = reinterpret_cast<uint8_t*>(scratch.data());
        return arena_.parser.unescape(raw, dst).get(out) == SUCCESS;
    }

    IndexArena& arena_;
    char* base_;
    const char* end_;
    const ItemFilter* filter_;
    std::vector<size_t>& picked_;
};

}  // namespace

bool readDashboard(IndexArena& arena, char* json, size_t length, size_t capacity, std::vector<FeedItem>& items,
    std::optional<std::string>& updatedAt, const ItemFilter* filter, std::vector<size_t>& picked) {
    items.clear();
    updatedAt.reset();
    picked.clear();
    arena.lists.clear();
    Reader reader(arena, json, length, filter, picked);
    if (reader.document(capacity, items, updatedAt)) return true;
    items.clear();
    updatedAt.reset();
    picked.clear();
    return false;
}

}  // namespace qs
