// The eight tool descriptors for "tools/list", kept as one table of texts.
#include "protocol/tool_catalog.hpp"

#include <span>         // std::span
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs::ToolCatalog {
namespace {

struct Property {
    std::string_view name;
    std::string_view type;
    std::string_view description;
    std::span<const std::string_view> enumValues = {};
    bool stringItems = false;  // an array whose elements are texts
};

struct Hints {
    bool readOnly;
    bool destructive;
    bool idempotent;
    bool openWorld;
};

struct ToolSpec {
    std::string_view name;
    std::span<const std::string_view> description;  // lines, joined by "\n"
    std::span<const Property> properties;
    std::span<const std::string_view> required;
    Hints hints;
};

constexpr Hints readOnly{true, false, true, false};
constexpr Hints rewrites{false, true, true, false};  // replaces an entry's minutes
constexpr Hints appends{false, false, false, false};  // each call adds a new entry

// vault_search
constexpr std::string_view vaultSearchDescription[] = {
    "全库搜索 quillstack 收集的所有条目(录音、随手记、截图 OCR、剪贴板、健康数据、短信)。",
    "在标题、正文摘要、标签、人物、项目上做大小写不敏感的子串匹配。",
    "这是**找东西的起点** —— 先用它拿到 id,再用 recording_transcript / minutes_read 展开细节。",
    "不传 query 就是按类型和日期列条目。",
};
constexpr std::string_view vaultSearchTypeValues[] = {
    "voice", "text", "ocr", "clip", "health", "sms",
    "serendipity", "task", "question", "idea", "reference", "clipboard",
};
constexpr Property vaultSearchProperties[] = {
    {"query", "string", "搜索词。留空则按 type / 日期筛选后返回全部。"},
    {"type", "string", "按类型筛。voice=录音, text=随手记/日记, ocr=截图, clip=剪贴板, health=健康, sms=短信, serendipity=往年今日。", vaultSearchTypeValues},
    {"date_from", "string", "起始日期,yyyy-MM-dd,含当天。"},
    {"date_to", "string", "结束日期,yyyy-MM-dd,含当天。"},
    {"limit", "integer", "最多返回几条,默认 20。"},
};

// recording_list
constexpr std::string_view recordingListDescription[] = {
    "列出所有录音条目(会议、语音备忘),并标注转译稿是否已经落盘。",
    "想知道「有哪些会议录音可以查」时用这个;想读具体内容用 recording_transcript。",
};
constexpr Property recordingListProperties[] = {
    {"date_from", "string", "起始日期,yyyy-MM-dd。"},
    {"date_to", "string", "结束日期,yyyy-MM-dd。"},
    {"limit", "integer", "最多返回几条,默认 50。"},
};

// recording_transcript
constexpr std::string_view recordingTranscriptDescription[] = {
    "读一条录音的**完整转译文本**(ASR 原文,不是 AI 摘要)。",
    "单份通常 1–2 万字,需要分段读时用 offset。",
    "注意:转译稿没有说话人标注和时间戳,是一整段连续文本。",
    "要读 AI 生成的纪要/摘要用 minutes_read。",
};
constexpr Property recordingTranscriptProperties[] = {
    {"id", "string", "条目 id,从 vault_search 或 recording_list 拿。"},
    {"offset", "integer", "从第几个字符开始读,默认 0。"},
    {"max_chars", "integer", "最多读多少字符,默认 40000。"},
};
constexpr std::string_view recordingTranscriptRequired[] = {"id"};

// minutes_read
constexpr std::string_view minutesReadDescription[] = {
    "读一条条目的 AI 产物:纪要正文(详情页看到的)+ 卡片摘要(时间流卡片上那句)+",
    "结构化元数据(标签/人物/项目/待办/重要度)。",
    "改写纪要之前**先用它读一遍**,拿到当前内容和确切的文件落点。",
};
constexpr Property minutesReadProperties[] = {
    {"id", "string", "条目 id。"},
};
constexpr std::string_view minutesReadRequired[] = {"id"};

// vocab_list
constexpr std::string_view vocabListDescription[] = {
    "查个人英语词库:词、音标、释义、考纲标签、复习进度、以及「在哪儿遇到这个词的」出处。",
    "词库由 iOS 端维护并同步到 Vault,本工具只读。",
};
constexpr std::string_view vocabListSourceValues[] = {
    "lookup", "imported",
};
constexpr Property vocabListProperties[] = {
    {"query", "string", "按词或释义过滤,子串匹配。留空返回全部。"},
    {"due_only", "boolean", "只返回今天该复习的词,默认 false。"},
    {"source", "string", "按来源筛。lookup=查词查来的, imported=从卡片导入的。", vocabListSourceValues},
    {"limit", "integer", "最多返回几条,默认 100。"},
};

// report_daily
constexpr std::string_view reportDailyDescription[] = {
    "读某一天的 AI 日报:标题、口语化总结、关键洞察、当天统计、明日建议。",
    "想了解「那天整体发生了什么」用这个,比逐条翻 vault_search 高效。",
};
constexpr Property reportDailyProperties[] = {
    {"date", "string", "日期,yyyy-MM-dd。"},
};
constexpr std::string_view reportDailyRequired[] = {"date"};

// minutes_write
constexpr std::string_view minutesWriteDescription[] = {
    "改写一条条目的纪要正文。典型用法:先 recording_transcript 读转译稿,",
    "自己重新组织成结构化纪要,再用本工具写回去。",
    "旧版本会自动归档到 core/meta/minutes-history/,可以找回。",
    "传了 summary 就同时更新时间流卡片上显示的那句摘要(建议传,否则卡片还是旧的)。",
    "改动会在 Mac App 下一轮扫描(约 30 秒)后出现在时间流里。",
};
constexpr Property minutesWriteProperties[] = {
    {"id", "string", "条目 id。"},
    {"markdown", "string", "新的纪要正文,Markdown。会完整覆盖旧正文。"},
    {"summary", "string", "新的卡片摘要,一到两句。不传则保留原摘要。"},
};
constexpr std::string_view minutesWriteRequired[] = {"id", "markdown"};

// diary_write
constexpr std::string_view diaryWriteDescription[] = {
    "往时间流写一条新的文字条目(长日记、会后整理、任意备忘)。",
    "写进去后由 quillstack 的标准管线接手 —— Mac App 会自动生成摘要、抽标签和待办,",
    "全文原样保留在详情页。约 30 秒后出现在时间流。",
    "这是**新增**,不会覆盖任何已有内容。",
};
constexpr Property diaryWriteProperties[] = {
    {"text", "string", "正文,支持多行。长度不限。"},
    {"date", "string", "归到哪一天,yyyy-MM-dd。默认今天。"},
    {"tags", "array", "手工标签,会跟 AI 抽的标签合并。", {}, true},
};
constexpr std::string_view diaryWriteRequired[] = {"text"};

constexpr ToolSpec catalog[] = {
    {"vault_search", vaultSearchDescription, vaultSearchProperties, {}, readOnly},
    {"recording_list", recordingListDescription, recordingListProperties, {}, readOnly},
    {"recording_transcript", recordingTranscriptDescription, recordingTranscriptProperties,
     recordingTranscriptRequired, readOnly},
    {"minutes_read", minutesReadDescription, minutesReadProperties, minutesReadRequired, readOnly},
    {"vocab_list", vocabListDescription, vocabListProperties, {}, readOnly},
    {"report_daily", reportDailyDescription, reportDailyProperties, reportDailyRequired, readOnly},
    {"minutes_write", minutesWriteDescription, minutesWriteProperties, minutesWriteRequired, rewrites},
    {"diary_write", diaryWriteDescription, diaryWriteProperties, diaryWriteRequired, appends},
};

Json strings(std::span<const std::string_view> texts) {
    Json array = Json::array();
    for (auto t : texts) array.push_back(std::string(t));
    return array;
}

std::string joinLines(std::span<const std::string_view> lines) {
    std::string text;
    for (auto line : lines) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

Json descriptor(const ToolSpec& tool) {
    Json properties = Json::object();
    for (const auto& p : tool.properties) {
        Json schema{{"type", std::string(p.type)}, {"description", std::string(p.description)}};
        if (!p.enumValues.empty()) schema["enum"] = strings(p.enumValues);
        if (p.stringItems) schema["items"] = Json{{"type", "string"}};
        properties[std::string(p.name)] = std::move(schema);
    }
    return Json{{"name", std::string(tool.name)},
                {"description", joinLines(tool.description)},
                {"inputSchema", Json{{"type", "object"}, {"properties", std::move(properties)},
                                     {"required", strings(tool.required)}}},
                {"annotations", Json{{"readOnlyHint", tool.hints.readOnly},
                                     {"destructiveHint", tool.hints.destructive},
                                     {"idempotentHint", tool.hints.idempotent},
                                     {"openWorldHint", tool.hints.openWorld}}}};
}

}  // namespace

const Json& all() {
    static const Json tools = [] {
        Json list = Json::array();
        for (const auto& tool : catalog) list.push_back(descriptor(tool));
        return list;
    }();
    return tools;
}

}  // namespace qs::ToolCatalog
