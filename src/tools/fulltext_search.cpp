// fulltext_search: ranked search in every text the vault holds, with where
// in which text each match stands.
#include <cmath>  // std::round

#include "search/fulltext_service.hpp"
#include "tools/tool_arguments.hpp"
#include "tools/tool_failure.hpp"
#include "tools/tool_result.hpp"

namespace qs {
namespace {

constexpr std::string_view kDescription[] = {
    "全文检索:在库里所有文字中按词找,按相关度排序 —— 标题、正文、标签和人物、录音转译稿、会议纪要、卡片摘要、日报,"
    "以及 diary_write 刚写下、Mac App 还没收进时间流的日记。",
    "多个词不分先后、都要出现;\"…\" 找连在一起的原句;-词 排除;英文词拼错一两个字母也能找到(排在拼对的后面)。"
    "中文按字面找,一两个字的词也行。",
    "每条结果说明命中在哪个字段(field)、从第几个字符起(offset),附上命中处前后的片段;转译稿命中可直接把 offset 交给 "
    "recording_transcript 从那里读。只在标签、人物或项目里命中时 field 是 tags,没有 offset。",
    "vault_search "
    "只在时间流的标题和正文里找一整段原样的子串;要找几个不挨着的词、拼不准的名字、会上说过的话或纪要里的结论时,"
    "用这个。",
};
constexpr std::string_view kTypeValues[] = {"voice", "text", "ocr", "clip", "health", "sms", "serendipity", "task",
    "question", "idea", "reference", "clipboard", "report"};
constexpr std::string_view kSortValues[] = {"relevance", "newest"};
constexpr ToolParam kQuery{"query", "string", "要找的词,空格分开,不分先后、都要出现;\"…\" 是原句;-词 排除。", true};
constexpr ToolParam kType{"type", "string",
    "按类型筛。voice=录音, text=随手记/日记, ocr=截图, clip=剪贴板, health=健康, sms=短信, serendipity=往年今日, "
    "report=日报。",
    false, 0, kTypeValues};
constexpr ToolParam kLimit{"limit", "integer", "最多返回几条,默认 {}。", false, 10};
constexpr ToolParam kSort{"sort", "string", "relevance=按相关度(默认),newest=最新的在前。", false, 0, kSortValues};
constexpr ToolParam kParams[] = {kQuery, kType, kDateFromParam, kDateToParam, kLimit, kPageOffsetParam, kSort};

Json indexJson(const Search::IndexStatus& status) {
    Json index = {
        {"entries", status.counts.documents},
        {"files", status.counts.files},
        {"waiting", status.waiting},
        {"in_icloud", status.counts.inCloud},
        {"building", status.building},
    };
    if (status.building) index["progress"] = std::round(status.progress * 1000.0) / 1000.0;
    if (status.temporary) index["temporary"] = true;
    return index;
}

Json run(const ToolArguments& arguments, ToolContext& context) {
    Search::SearchRequest request;
    request.query = arguments.requiredString(kQuery);
    request.type = arguments.optionalString(kType);
    request.dateFrom = arguments.optionalString(kDateFromParam);
    request.dateTo = arguments.optionalString(kDateToParam);
    request.limit = std::max<int64_t>(arguments.integer(kLimit), 1);
    request.offset = std::max<int64_t>(arguments.integer(kPageOffsetParam), 0);
    if (auto sort = arguments.optionalString(kSort)) {
        if (*sort != "relevance" && *sort != "newest") {
            throw ToolFailure("sort 只能是 relevance 或 newest,收到的是「" + *sort + "」。");
        }
        request.newest = *sort == "newest";
    }

    std::optional<Search::SearchResult> result;
    try {
        result = context.fulltext().search(request);
    } catch (const Search::Unavailable& unavailable) {
        throw ToolFailure(unavailable.sentence);
    }
    if (!result) throw ToolFailure("query 里没有要找的词(只有排除的词或标点)。至少给一个要找的词。");

    Json hits = Json::array();
    for (const Search::Hit& hit : result->hits) {
        Json dict = {{"id", hit.id}, {"type", hit.type}, {"date", hit.day}, {"title", hit.title}, {"field", hit.field}};
        if (hit.offset) dict["offset"] = *hit.offset;
        dict["snippet"] = hit.snippet;
        if (!hit.time.empty()) dict["time"] = hit.time;
        hits.push_back(std::move(dict));
    }
    Json payload = Json::object();
    payload["total_matches"] = result->total;
    payload["returned"] = hits.size();
    payload["hits"] = std::move(hits);
    if (request.offset + int64_t(result->hits.size()) < result->total) {
        payload["next_offset"] = request.offset + int64_t(result->hits.size());
    }
    payload["index"] = indexJson(context.fulltext().status());
    return ToolResult::json(payload);
}

}  // namespace

constexpr ToolDefinition fulltextSearchTool{"fulltext_search", "全文检索", kDescription, kParams, kReadOnlyHints, run};

}  // namespace qs
