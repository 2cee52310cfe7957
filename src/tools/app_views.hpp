// The MCP Apps views: single-file HTML documents built from views/ and
// compiled in, each shown by a host beside the answer of the tools that name it.
#pragma once

#include <span>         // std::span
#include <string_view>  // std::string_view

namespace qs {

inline constexpr std::string_view kViewMimeType = "text/html;profile=mcp-app";

struct AppView {
    std::string_view uri;    // ui://quillstack/<file>
    std::string_view title;  // what a host may show for it
    std::string_view html;
};

inline constexpr std::string_view kDayView = "ui://quillstack/day.html";
inline constexpr std::string_view kMeetingView = "ui://quillstack/meeting.html";
inline constexpr std::string_view kVocabularyView = "ui://quillstack/vocabulary.html";

// The three views, in the build's generated source.
std::span<const AppView> appViews();

}  // namespace qs
