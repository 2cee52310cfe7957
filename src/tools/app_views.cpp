// The views built into the binary; their HTML comes from the build's
// generated source (views/embed.cmake).
#include "tools/app_views.hpp"

namespace qs {
namespace ViewHtml {
extern const std::string_view day, meeting, vocabulary;
}

std::span<const AppView> appViews() {
    static const AppView kViews[] = {
        {kDayView, "一天", ViewHtml::day},
        {kMeetingView, "会议", ViewHtml::meeting},
        {kVocabularyView, "词库", ViewHtml::vocabulary},
    };
    return kViews;
}

}  // namespace qs
