// The texts one document of the full-text index holds, and what a hit calls them.
#pragma once

#include <array>        // std::array
#include <cstddef>      // size_t
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs::Search {

// The index's columns, in table order. A timeline entry is one document:
// its index texts, minutes, card summary and transcript, so every word of a
// query may stand in another of them. A daily report and a diary text the
// Mac app has not taken up yet are documents of their own.
enum class Field { title, tags, text, minutes, summary, transcript, report, pending };
inline constexpr size_t kFieldCount = 8;

// The column names, which are also the names a hit gives its field ("tags"
// standing for the tags, people and projects).
inline constexpr std::array<std::string_view, kFieldCount> kFieldNames{
    "title", "tags", "text", "minutes", "summary", "transcript", "report", "pending"};

// BM25 weights: the title and the people and tags name what an entry is
// about; a transcript holds every word said, so a match there says least.
inline constexpr std::array<double, kFieldCount> kFieldWeights{10.0, 6.0, 3.0, 3.0, 4.0, 1.0, 2.5, 3.0};

constexpr size_t indexOf(Field field) { return static_cast<size_t>(field); }

// One timeline entry's own texts, as the index of the timeline gives them.
struct EntryTexts {
    std::string id;
    std::string type;
    std::string day;        // yyyy-MM-dd
    std::string time;       // local "HH:mm", may be empty
    std::string title;      // what a hit shows
    std::string titleText;  // the stored title, searched
    std::string tags;       // tags, people, projects and the id, one a line
    std::string text;       // the whole content
};

}  // namespace qs::Search
