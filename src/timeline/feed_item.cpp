// The feed item's derived day, title, summary and text match.
#include "timeline/feed_item.hpp"

#include <string>   // std::string
#include <utility>  // std::move

#include "text/dates.hpp"
#include "text/lowercase_search.hpp"
#include "text/unicode.hpp"

namespace qs {
namespace {

constexpr std::string_view kUntitled = "(无标题)";

// The first `n` characters. Text no longer than `n` bytes has at most `n`
// characters, and a run of printable ASCII is one character per byte, so
// ICU is asked only about the rest.
std::string_view firstCharacters(std::string_view text, size_t n) {
    if (text.size() <= n) return text;
    bool plainAscii = true;
    for (size_t i = 0; i <= n; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E) {
            plainAscii = false;
            break;
        }
    }
    return plainAscii ? text.substr(0, n) : Text::graphemePrefix(text, n);
}

}  // namespace

Json FeedItem::textArray(TextList list) {
    Json array = Json::array();
    for (std::string_view text : list) array.push_back(std::string(text));
    return array;
}

std::string_view FeedItem::deriveDay(std::optional<std::string_view> outputRelPath, std::string_view dateISO) {
    if (outputRelPath) {
        // The folder holding the output file: the second-to-last non-empty piece.
        std::string_view last, beforeLast;
        size_t pieces = 0;
        std::string_view rest = *outputRelPath;
        while (!rest.empty()) {
            size_t slash = rest.find('/');
            std::string_view piece = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (piece.empty()) continue;
            beforeLast = last;
            last = piece;
            ++pieces;
        }
        if (pieces >= 2 && Text::isDayShape(beforeLast)) return beforeLast;
    }
    return firstCharacters(dateISO, 10);
}

std::string_view FeedItem::displayTitle() const {
    if (title && !title->empty()) return *title;
    // Lines end at a line feed; a CR LF pair is one character that is no line
    // feed, so it does not end a line.
    size_t start = 0;
    while (start < content.size()) {
        size_t end = start;
        while (end < content.size() && !(content[end] == '\n' && (end == 0 || content[end - 1] != '\r'))) ++end;
        if (end > start) return firstCharacters(content.substr(start, end - start), 60);
        start = end + 1;
    }
    return kUntitled;
}

std::optional<std::string> FeedItem::localTime() const {
    auto moment = Text::parseIsoDateTime(dateISO);
    return moment ? Text::localTimeOfDay(*moment) : std::nullopt;
}

Json FeedItem::summaryJson(size_t snippetLimit) const {
    Json dict = Json::object();
    dict["id"] = std::string(id);
    dict["type"] = std::string(type);
    dict["date"] = std::string(day);
    if (auto time = localTime()) dict["time"] = std::move(*time);
    dict["title"] = std::string(displayTitle());
    if (!content.empty()) {
        std::string flat(content);
        for (char& c : flat) {
            if (c == '\n') c = ' ';
        }
        dict["snippet"] = std::string(firstCharacters(flat, snippetLimit));
    }
    if (source) dict["source"] = std::string(*source);
    if (!tags.empty()) dict["tags"] = textArray(tags);
    if (!people.empty()) dict["people"] = textArray(people);
    if (!projects.empty()) dict["projects"] = textArray(projects);
    return dict;
}

bool FeedItem::matches(const Text::LowercaseNeedle& needle) const {
    return forEachSearchedText([&](Searched, std::string_view text) { return needle.foundIn(text); });
}

}  // namespace qs
