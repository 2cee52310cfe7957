// One timeline entry of Dashboard.json, as views into the index that holds it.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // int64_t
#include <optional>     // std::optional
#include <span>         // std::span
#include <string_view>  // std::string_view
#include <utility>      // std::pair

#include "json/json.hpp"

namespace qs {

namespace Text {
class LowercaseNeedle;
}

// The texts are views into the DashboardIndex that produced the item (its
// file buffer), so an item is only valid while that index lives. Copying an
// item is cheap; copy a text into a std::string to keep it longer.
struct FeedItem {
    using TextList = std::span<const std::string_view>;
    // A list as the JSON array of its texts, copied.
    static Json textArray(TextList list);

    std::string_view id;
    std::string_view type = "text";
    std::string_view dateISO;
    std::string_view day;                   // derived by deriveDay()
    std::optional<std::string_view> title;  // already trimmed
    std::string_view content;
    std::optional<std::string_view> source;
    TextList tags;
    TextList people;
    TextList projects;
    std::optional<std::string_view> outputRelPath;
    std::optional<std::string_view> processingState;
    TextList extractedTasks;
    int64_t importance = 3;

    // The day folder named by outputRelPath when it has the day shape, else
    // the first 10 characters of dateISO.
    static std::string_view deriveDay(std::optional<std::string_view> outputRelPath, std::string_view dateISO);

    // The title, else the first 60 characters of the first non-empty line of
    // the content, else "(无标题)".
    [[nodiscard]] std::string_view displayTitle() const;
    // The entry's time of day, "HH:mm" in the machine's local time zone;
    // nothing when its date has no time.
    [[nodiscard]] std::optional<std::string> localTime() const;
    // id, type, date, time, title, snippet, source, tags, people, projects:
    // what a listing shows of an entry, each key only where the entry has it.
    [[nodiscard]] Json summaryJson(size_t snippetLimit) const;
    // The texts a search looks at, in the order the text matcher tries
    // them: the one list the matcher, its prefilter and the full-text index
    // share. `visit(kind, text)` returns true to stop; so does this then.
    enum class Searched { title, content, id, tag, person, project };
    template <class Visit>
    bool forEachSearchedText(Visit&& visit) const {
        if (title && visit(Searched::title, *title)) return true;
        if (visit(Searched::content, content) || visit(Searched::id, id)) return true;
        for (auto [kind, list] :
            {std::pair{Searched::tag, tags}, {Searched::person, people}, {Searched::project, projects}}) {
            for (std::string_view text : list) {
                if (visit(kind, text)) return true;
            }
        }
        return false;
    }

    // Whether a title, the content, the id or a tag, person or project holds
    // the needle's query (lower-cased, not empty), prepared once per search.
    [[nodiscard]] bool matches(const Text::LowercaseNeedle& needle) const;
};

}  // namespace qs
