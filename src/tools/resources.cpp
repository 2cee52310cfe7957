// Resources: what the host lists and attaches, each read by calling the tool
// that serves it, so containment, iCloud waits and size limits are the tools'.
#include "tools/resources.hpp"

#include <algorithm>   // std::sort, std::min
#include <cstdint>     // int64_t
#include <functional>  // std::greater
#include <optional>    // std::optional
#include <string>      // std::string, std::stoul
#include <tuple>       // std::tuple
#include <vector>      // std::vector

#include "text/unicode.hpp"
#include "tools/app_views.hpp"
#include "tools/tool_catalog.hpp"

namespace qs::Resources {
namespace {

constexpr std::string_view kScheme = "quillstack://";
constexpr std::string_view kReport = "report/";
constexpr std::string_view kMinutes = "minutes/";
constexpr std::string_view kTranscript = "transcript/";
constexpr std::string_view kMarkdown = "text/markdown";

// "Recent": eight weeks of reports at one a day, the hundred newest recordings.
constexpr size_t kRecentReports = 56;
constexpr int64_t kRecentRecordings = 100;
constexpr size_t kPageSize = 50;

// A path segment of a URI: ids are file names, which may hold anything a
// URI may not.
std::string encodeSegment(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Nothing for a malformed escape.
std::optional<std::string> decodeSegment(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// The payload of a successful call; a refusal becomes Missing in the tool's words.
Json call(const ToolDefinition& tool, const Json& arguments, ToolContext& context) {
    Json result = ToolCatalog::invoke(tool, arguments, context);
    const std::string& text = result.at("content").at(0).at("text").get_ref<const std::string&>();
    if (result.value("isError", false)) {
        constexpr std::string_view kMark = "❌ ";
        throw Missing(text.starts_with(kMark) ? text.substr(kMark.size()) : text);
    }
    auto payload = parseJsonDocument(text);
    if (!payload || !payload->is_object()) throw Missing(text);
    return std::move(*payload);
}

// A report member as a line of text: a text as it is, an object by its
// title or text, anything else as compact JSON.
std::string shown(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_object()) {
        for (const char* key : {"title", "text", "label"}) {
            if (auto it = value.find(key); it != value.end() && it->is_string()) return it->get<std::string>();
        }
    }
    return JsonWriter::lenient(value);
}

std::string reportMarkdown(const Json& report) {
    std::string md = "# " + report.value("date", "") + " 日报";
    if (auto headline = report.find("headline"); headline != report.end()) md += ":" + shown(*headline);
    md += "\n";
    for (const char* key : {"shortSummary", "narrative", "markdownContent"}) {
        if (auto it = report.find(key); it != report.end()) md += "\n" + shown(*it) + "\n";
    }
    static constexpr std::pair<const char*, const char*> kLists[] = {
        {"keyInsights", "关键洞察"}, {"pendingItems", "待办"}, {"tomorrowSuggestions", "明日建议"}};
    for (auto [key, heading] : kLists) {
        auto it = report.find(key);
        if (it == report.end()) continue;
        md += std::string("\n## ") + heading + "\n";
        if (!it->is_array()) {
            md += shown(*it) + "\n";
            continue;
        }
        for (const Json& item : *it) md += "- " + shown(item) + "\n";
    }
    return md;
}

std::string readReport(ToolContext& context, const std::string& date) {
    return reportMarkdown(call(reportDailyTool, Json{{"date", date}}, context));
}

std::string readMinutes(ToolContext& context, const std::string& id) {
    Json minutes = call(minutesReadTool, Json{{"id", id}}, context);
    // An entry without minutes is still an entry; its minutes are what is missing.
    if (auto warning = minutes.find("warning"); warning != minutes.end() && warning->is_string()) {
        throw Missing(warning->get<std::string>());
    }
    return minutes.value("minutes_markdown", "");
}

// The whole transcript, window by window as the tool hands it out.
std::string readTranscript(ToolContext& context, const std::string& id) {
    std::string text;
    Json arguments{{"id", id}, {"offset", 0}};
    for (;;) {
        Json window = call(recordingTranscriptTool, arguments, context);
        text += window.value("text", "");
        auto next = window.find("next_offset");
        if (next == window.end() || !next->is_number_integer() || *next <= arguments["offset"]) return text;
        arguments["offset"] = *next;
    }
}

Json contents(std::string_view uri, std::string_view mimeType, std::string text) {
    return Json{{"contents", Json::array({Json{{"uri", std::string(uri)}, {"mimeType", std::string(mimeType)},
                                 {"text", std::move(text)}}})}};
}

Json resource(std::string uri, std::string name, std::string_view mimeType, std::string description) {
    return Json{{"uri", std::move(uri)}, {"name", name}, {"title", name}, {"mimeType", std::string(mimeType)},
        {"description", std::move(description)}};
}

// The days of the newest reports, newest first; an evicted report counts by
// its placeholder's name. A folder that cannot be listed holds none.
std::vector<std::string> recentReportDays(const ToolContext& context) {
    const Vault& vault = context.vault();
    auto names = vault.fs().list(vault.path(VaultPath::dailyReportsDir), false, false);
    std::vector<std::string> days;
    if (!names) return days;
    for (const auto& entry : *names) {
        std::string_view name = entry.name;
        if (name.starts_with('.') && name.ends_with(".icloud")) name = name.substr(1, name.size() - 8);
        if (name.size() == 15 && name.ends_with(".json") && Text::isDayShape(name.substr(0, 10))) {
            days.emplace_back(name.substr(0, 10));
        }
    }
    std::sort(days.begin(), days.end(), std::greater<>());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    if (days.size() > kRecentReports) days.resize(kRecentReports);
    return days;
}

Json recentResources(ToolContext& context) {
    Json all = Json::array();
    for (const std::string& day : recentReportDays(context)) {
        all.push_back(resource(std::string(kScheme) + std::string(kReport) + day, day + " 日报", kMarkdown,
            "quillstack 为 " + day + " 生成的 AI 日报"));
    }
    // An index that cannot be read now costs the list its recordings, not its reports.
    Json listed;
    try {
        listed = call(recordingListTool, Json{{"limit", kRecentRecordings}}, context);
    } catch (const Missing&) {
        return all;
    }
    for (const Json& recording : listed.value("recordings", Json::array())) {
        std::string id = recording.value("id", "");
        std::string label = recording.value("date", "") + " " + recording.value("title", "");
        if (recording.value("has_minutes", false)) {
            all.push_back(resource(std::string(kScheme) + std::string(kMinutes) + encodeSegment(id), label + " · 纪要",
                kMarkdown, "录音 " + id + " 的 AI 纪要"));
        }
        if (recording.value("has_transcript", false)) {
            all.push_back(resource(std::string(kScheme) + std::string(kTranscript) + encodeSegment(id),
                label + " · 转译稿", "text/plain", "录音 " + id + " 的完整转译稿"));
        }
    }
    return all;
}

}  // namespace

Json list(ToolContext& context, std::string_view cursor) {
    // The cursor is where the page starts in the recent list, as we wrote it.
    size_t from = 0;
    if (!cursor.empty()) {
        bool digits = cursor.size() <= 6 &&
                      std::all_of(cursor.begin(), cursor.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits) throw BadCursor("无效的 cursor: " + std::string(cursor));
        from = std::stoul(std::string(cursor));
    }
    Json all = recentResources(context);
    if (from > all.size() || (from == all.size() && from != 0))
        throw BadCursor("无效的 cursor: " + std::string(cursor));
    size_t to = std::min(all.size(), from + kPageSize);
    Json page{{"resources",
        Json(all.begin() + static_cast<std::ptrdiff_t>(from), all.begin() + static_cast<std::ptrdiff_t>(to))}};
    if (to < all.size()) page["nextCursor"] = std::to_string(to);
    return page;
}

Json templates() {
    auto shape = [](std::string_view kind, std::string_view variable, std::string name, std::string_view mimeType,
                     std::string description) {
        return Json{{"uriTemplate", std::string(kScheme) + std::string(kind) + "{" + std::string(variable) + "}"},
            {"name", name}, {"title", name}, {"mimeType", std::string(mimeType)},
            {"description", std::move(description)}};
    };
    return Json{{"resourceTemplates",
        Json::array({shape(kReport, "date", "日报", kMarkdown, "某一天的 AI 日报,date 写成 yyyy-MM-dd"),
            shape(kMinutes, "id", "纪要", kMarkdown, "一条条目的 AI 纪要正文,id 从 vault_search 拿"),
            shape(kTranscript, "id", "转译稿", "text/plain", "一条录音的完整转译稿,id 从 recording_list 拿")})}};
}

bool isView(std::string_view uri) {
    return std::any_of(appViews().begin(), appViews().end(), [&](const AppView& view) { return view.uri == uri; });
}

Json read(ToolContext& context, std::string_view uri) {
    for (const AppView& view : appViews()) {
        if (view.uri == uri) return contents(uri, kViewMimeType, std::string(view.html));
    }
    const std::string unknown = "没有这个资源: " + std::string(uri);
    if (!uri.starts_with(kScheme)) throw Missing(unknown);
    std::string_view rest = uri.substr(kScheme.size());
    for (auto [kind, reader, mimeType] :
        {std::tuple{kReport, &readReport, kMarkdown}, std::tuple{kMinutes, &readMinutes, kMarkdown},
            std::tuple{kTranscript, &readTranscript, std::string_view("text/plain")}}) {
        if (!rest.starts_with(kind)) continue;
        auto name = decodeSegment(rest.substr(kind.size()));
        if (!name || name->empty()) throw Missing(unknown);
        return contents(uri, mimeType, reader(context, *name));
    }
    throw Missing(unknown);
}

}  // namespace qs::Resources
