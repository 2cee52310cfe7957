// vault_search: the timeline index searched by text, type and day range.
#include <vector>  // std::vector

#include "timeline/kept_index.hpp"
#include "tools/entry_lookup.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_result.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "全库搜索 quillstack 收集的所有条目(录音、随手记、截图 OCR、剪贴板、健康数据、短信)。",
    "在标题、正文摘要、标签、人物、项目上做大小写不敏感的子串匹配。",
    "这是**找东西的起点** —— 先用它拿到 id,再用 recording_transcript / minutes_read 展开细节。",
    "不传 query 就是按类型和日期列条目。",
};
constexpr std::string_view kTypeValues[] = {
    "voice",
    "text",
    "ocr",
    "clip",
    "health",
    "sms",
    "serendipity",
    "task",
    "question",
    "idea",
    "reference",
    "clipboard",
};
constexpr ToolParam kQuery{"query", "string", "搜索词。留空则按 type / 日期筛选后返回全部。"};
constexpr ToolParam kType{"type", "string",
    "按类型筛。voice=录音, text=随手记/日记, ocr=截图, clip=剪贴板, health=健康, sms=短信, serendipity=往年今日。",
    false, 0, kTypeValues};
constexpr ToolParam kLimit{"limit", "integer", "最多返回几条,默认 {}。", false, 20};
constexpr ToolParam kParams[] = {kQuery, kType, kDateFromParam, kDateToParam, kLimit, kPageOffsetParam};

Json run(const ToolArguments& arguments, ToolContext& context) {
    // Reading the arguments cannot fail, so an unreadable index still fails
    // whatever they are; the filter is applied while the index is read.
    // The listed type "clipboard" is what the index calls "clip".
    std::optional<std::string> type = arguments.optionalString(kType);
    if (type == "clipboard") type = "clip";
    DashboardIndex::SearchFilter filter{arguments.optionalString(kQuery), type,
        arguments.optionalString(kDateFromParam), arguments.optionalString(kDateToParam)};
    const ResultWindow window{arguments.integer(kPageOffsetParam), arguments.integer(kLimit)};
    KeptIndex::Found found = requireIndex(context.index().search(context.vault(), filter, window));

    Json items = Json::array();
    for (const FeedItem* item : found.page.items) items.push_back(item->summaryJson(180));
    Json payload = Json::object();
    payload["total_in_vault"] = found.index->items.size();
    payload["returned"] = found.page.items.size();
    payload["items"] = std::move(items);
    if (found.page.more) payload["next_offset"] = window.skipped() + found.page.items.size();
    if (found.page.items.empty() && filter.query) {
        payload["hint"] =
            "这里只按原样子串找。几个不挨着的词、拼不准的名字、转译稿和纪要里的话,用 fulltext_search 找。";
    }
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition vaultSearchTool{"vault_search", "全库搜索", kDescription, kParams, kReadOnlyHints, run};

}  // namespace qs
