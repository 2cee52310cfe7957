// A product manager's five years of notes in Chinese and English: the index, transcripts, minutes,
// written the way the companion apps write them.
#include "vault_gen.hpp"

#include <algorithm>      // std::sort, std::find
#include <chrono>         // std::chrono::sys_days
#include <cstdio>         // std::snprintf
#include <fstream>        // std::ofstream, std::ifstream
#include <iterator>       // std::istreambuf_iterator
#include <random>         // std::mt19937_64
#include <stdexcept>      // std::runtime_error
#include <string>         // std::string
#include <unordered_set>  // std::unordered_set
#include <vector>         // std::vector

namespace qs::Bench {
namespace fs = std::filesystem;
namespace {

using Pool = std::vector<std::string>;
const Pool kChinese = {"今天的例会开得有点长,但该定的事情都定了。", "客户说导出功能一定要保留筛选条件。",
    "晚上跑了五公里,配速比上周快了十秒。", "下午和设计一起过了首页的高保真稿,整体方向没问题。",
    "加载速度还是太慢,大表格第一次打开要七八秒。", "妈妈打电话说周末想去公园走走。",
    "这个需求的优先级需要和老板再对一次。", "季度目标里付费转化率落后得比较多。",
    "用户访谈里有三个人都提到了同一个问题。", "我们可能高估了新用户对模板的需求。", "把上周的复盘整理成文档发到群里。",
    "数据口径不一致,财务那边很不信任这个报表。", "午饭的时候想到一个改进新手引导的办法。",
    "今天的步数只有四千多,明天要多走走。", "评审会上大家对导航的改动意见不太统一。",
    "地铁上读完了两章书,作者的观点很有启发。", "周五之前要把产品需求文档的初稿发出去。",
    "今天睡得不好,下午开会的时候有点走神。", "和技术负责人聊了缓存方案,预计一个迭代能做完。",
    "客服反馈说同步失败的提示太不明显了。", "这周的迭代完成了十九张卡,还剩四张。", "合作伙伴希望数据留在欧洲的机房里。",
    "想清楚要解决的问题,比急着给出方案更重要。", "晚饭做了红烧肉,味道比上次好多了。",
    "周末带爸妈去植物园,樱花已经开了一半。", "新版本的空状态设计得很用心,插画很好看。",
    "定价模型可能才是转化率低的真正原因。", "会后单独和销售聊了一下老客户迁移的问题。",
    "看板上有两张卡一直卡在等设计稿。", "灰度发布先开百分之五的用户,观察两天。",
    "埋点数据显示大部分人在第三步就流失了。", "下周要去杭州出差,记得提前订酒店。"};
const Pool kEnglish = {"Let's take this offline and circle back on Friday.",
    "The dashboard takes seven seconds to load on large tables.", "We agreed to ship CSV export first and Excel later.",
    "Fall in love with the problem, not the solution.",
    "Retention on day seven doubled for users who imported demo data.",
    "The pilot customers need their data in the EU.",
    "Scope freeze is next Friday, beta goes out at the end of the month.",
    "Ran 5 km this morning, the weather was perfect.", "I don't have the bandwidth for another project this quarter.",
    "What is the trade-off between speed and accuracy here?",
    "The weekly active team count is at seventy-eight percent of target.",
    "Remember to send the staging access before Wednesday.",
    "Design review went well: seven decisions, no open blockers.",
    "Alert fatigue is real; cap notifications at three a day.", "The z-score approach filters out most of the noise.",
    "Progressive disclosure keeps the first screen simple.", "Pricing per workspace might fit retail chains better.",
    "Katrin will review the German strings in context.", "The export failed with a gateway timeout after 30 seconds.",
    "Need to follow up with finance about the revenue numbers.", "Saved views solve most of the filtering complaints.",
    "Mom sent a recipe for braised pork belly.", "The onboarding checklist should start with connecting a data source.",
    "Our NPS moved from 32 to 36 this month.", "Read two chapters of Inspired on the train home.",
    "The webhook integration moves up in the backlog."};
// ZWJ sequences, skin tones, flags and variation selectors among them.
const Pool kEmoji = {"🎉", "🙂", "😮‍💨", "👍🏽", "👩‍💻", "🏃", "🌸", "📧", "🍲", "☕️", "🇨🇳",
    "👨‍👩‍👧", "✅", "🤔", "📈", "🚇"};
const Pool kTags = {"会议", "日记", "想法", "用户访谈", "OKR", "读书", "健康", "跑步", "家人", "设计", "定价", "bug",
    "Sprint", "英语", "学习", "增长", "竞品", "出差", "复盘", "meeting", "idea", "travel", "reading"};
const Pool kPeople = {
    "王磊", "赵敏", "Sarah Chen", "Amy", "David Müller", "Katrin", "小周", "妈妈", "爸爸", "陈老师", "Tom", "李娜"};
const Pool kProjects = {"Atlas 2.0", "定价调整", "增长实验", "Q1 OKR", "国际化", "数据平台", "Onboarding", "Mobile"};
const Pool kTitles = {"周一产品例会", "客户访谈", "设计评审 Design Review", "和王磊的 1:1", "Partner sync",
    "回家路上的语音备忘", "读书笔记", "周末计划", "竞品定价页截图", "看板截图", "健康摘要", "短信摘要", "去年今天",
    "午饭时的想法", "Weekly planning", "Retro notes", "下周要做的事", "English phrases to remember", "白板照片",
    "复盘"};
const Pool kTasks = {"周三前把 PRD 发给设计", "评估导出功能工作量", "约客户确认访谈纪要", "和销售对一下定价方案",
    "Send staging access to David", "Book the hotel for the Hangzhou trip", "更新 OKR 进度", "报名 SQL 内训"};
// No phrase holds these, so a search for one finds exactly the marked entries.
constexpr const char* kAsciiMarker = "zephyrine";
constexpr const char* kChineseMarker = "青鸾计划";
constexpr std::size_t kTargetChars = 20000;

// mt19937_64's sequence is fixed by the standard (its distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t below(std::uint64_t n) { return engine_() % n; }
    long between(long lo, long hi) { return lo + static_cast<long>(below(static_cast<std::uint64_t>(hi - lo + 1))); }
    double unit() { return static_cast<double>(engine_() >> 11) / 9007199254740992.0; }
    bool chance(double p) { return unit() < p; }
    const std::string& pick(const Pool& pool) { return pool[below(pool.size())]; }
    // Upper-case version-4 UUIDs, as the apps write ids.
    std::string uuid() {
        unsigned long long hi = (engine_() & ~0xF000ULL) | 0x4000ULL, lo = (engine_() >> 2) | (1ULL << 63);
        char buf[40];
        std::snprintf(buf, sizeof buf, "%016llX%016llX", hi, lo);
        std::string id = buf;
        for (std::size_t at : {8, 13, 18, 23}) id.insert(at, 1, '-');
        return id;
    }

private:
    std::mt19937_64 engine_;
};

std::int64_t midnight(int y, unsigned m, unsigned d) {
    using namespace std::chrono;
    return sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count() * std::int64_t{86400};
}

// "yyyy-MM-ddTHH:mm:ss" and `zone`, from wall-clock seconds since 1970.
std::string iso(std::int64_t s, const char* zone) {
    using namespace std::chrono;
    year_month_day ymd{sys_days{days{s / 86400}}};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d%s", static_cast<int>(ymd.year()),
        static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), static_cast<int>(s % 86400 / 3600),
        static_cast<int>(s % 3600 / 60), static_cast<int>(s % 60), zone);
    return buf;
}

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// At least `minChars` code points of both languages, with line breaks and
// emoji unless `plain`.
std::string mixedText(Random& rng, std::size_t minChars, double chineseShare, bool plain = false) {
    std::string out;
    for (std::size_t chars = 0; chars < minChars;) {
        const std::string& phrase = rng.chance(chineseShare) ? rng.pick(kChinese) : rng.pick(kEnglish);
        if (!out.empty() && out.back() != '\n' && !(phrase[0] & 0x80)) out += ' ', ++chars;
        out += phrase;
        chars += static_cast<std::size_t>(
            std::count_if(phrase.begin(), phrase.end(), [](char c) { return !continuation(c); }));
        if (!plain && rng.chance(0.08)) out += rng.pick(kEmoji), ++chars;
        if (!plain && rng.chance(0.15)) out += '\n', ++chars;
    }
    return out;
}

// Exactly `chars` code points in one line without emoji, so code points and grapheme clusters agree.
std::string transcriptText(Random& rng, std::size_t chars) {
    std::string out = mixedText(rng, chars, 0.75, true);
    std::size_t i = 0;
    for (std::size_t seen = 0; i < out.size() && (continuation(out[i]) || seen++ < chars);) ++i;
    return out.substr(0, i);
}

// About a thousand characters, as an hour's meeting gives.
std::string minutesMarkdown(Random& rng, const std::string& title) {
    std::string md = "# " + title + "\n\n**参会**:";
    for (long i = 0, n = rng.between(2, 5); i < n; ++i) md += (i ? "、" : "") + rng.pick(kPeople);
    md += "\n\n## 要点\n";
    for (long i = 0, n = rng.between(5, 12); i < n; ++i)
        md += "- " + mixedText(rng, static_cast<std::size_t>(rng.between(40, 160)), 0.7) + "\n";
    md += "\n## 决定\n";
    for (long i = 1, n = rng.between(2, 6); i <= n; ++i) md += std::to_string(i) + ". " + rng.pick(kChinese) + "\n";
    md += "\n## Action items\n";
    for (long i = 0, n = rng.between(1, 4); i < n; ++i) md += "- [ ] " + rng.pick(kTasks) + "\n";
    return md;
}

Json someOf(Random& rng, const Pool& pool, long most) {
    Json list = Json::array();
    for (long i = 0, n = rng.between(1, most); i < n; ++i) {
        const std::string& value = rng.pick(pool);
        if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
    }
    return list;
}

// The marker somewhere in the text, in mixed case when ASCII, so only a case-insensitive search finds them all.
std::string withMarker(Random& rng, std::string text, std::string marker) {
    if (marker == kAsciiMarker && rng.chance(0.67)) {
        std::size_t n = rng.chance(0.5) ? 1 : marker.size();
        for (std::size_t i = 0; i < n; ++i) marker[i] = static_cast<char>(marker[i] - 'a' + 'A');
    }
    std::size_t pos = rng.below(text.size() + 1);
    while (pos < text.size() && continuation(text[pos])) ++pos;
    return text.insert(pos, " " + marker + " ");
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!(out << bytes).flush()) throw std::runtime_error("cannot write " + path.string());
}

// The index through the house wire writer ("\/" escapes, raw UTF-8), as the app's encoder writes it;
// the other files pretty-printed with sorted keys.
std::string wire(const Json& value) {
    if (auto text = JsonWriter::wire(value)) return *text;
    throw std::runtime_error("generated a value the JSON writer refuses");
}
std::string pretty(const Json& value) { return JsonWriter::payload(value).value_or("{}"); }

struct TypeShape {
    const char* type;
    double share, titled;
    std::size_t maxChars;
    const char* source;  // null: a quick note, sometimes marked so
};
// Roughly what a heavy user's timeline holds.
constexpr TypeShape kTypes[] = {{"text", 0.30, 0.55, 2000, nullptr}, {"ocr", 0.20, 0.40, 1500, "截图"},
    {"voice", 0.15, 0.85, 1000, "iPhone 录音"}, {"clip", 0.15, 0.30, 800, "剪贴板"}, {"health", 0.08, 1, 300, "健康"},
    {"sms", 0.07, 1, 400, "短信"}, {"serendipity", 0.05, 1, 300, "那年今日"}};

struct Entry {
    std::string id, date, day;
    const TypeShape* shape = &kTypes[0];
    std::string state;  // processingState; empty: left out
    bool transcript = false, insights = false;
    [[nodiscard]] bool voice() const { return shape == &kTypes[2]; }
};

class Generator {
public:
    Generator(fs::path root, std::uint64_t seed) : root_(std::move(root)), rng_(seed) {}

    // Streams core/Dashboard.json item by item, newest first as the index
    // lists them, writing each entry's files on the way. The two recordings
    // the benchmarks open sit mid-index, fully processed.
    void timeline(std::size_t count, Json& targets) {
        const std::int64_t start = midnight(2021, 1, 1), span = midnight(2026, 1, 1) - start;
        std::vector<std::int64_t> times(count);
        for (auto& t : times) t = start + static_cast<std::int64_t>(rng_.below(static_cast<std::uint64_t>(span)));
        std::sort(times.rbegin(), times.rend());
        std::ofstream index(root_ / "core/Dashboard.json", std::ios::binary);
        index << "{\"feedItems\":[\n";
        std::size_t marked[2] = {0, 0}, reports = 0;
        std::string lastDay;
        for (std::size_t i = 0; i < count; ++i) {
            Entry e;
            e.id = rng_.uuid();
            e.date = iso(times[i], "+08:00");  // a user at +08:00
            e.day = e.date.substr(0, 10);
            double u = rng_.unit();
            while (e.shape + 1 < std::end(kTypes) && u >= e.shape->share) u -= (e.shape++)->share;
            const char* target = i == count / 2 ? "transcriptId" : i == count / 2 + 1 ? "minutesId" : nullptr;
            if (target) e.shape = &kTypes[2], targets[target] = e.id;
            if (e.voice()) {
                double s = target ? 0 : rng_.unit();
                e.state = s < 0.85 ? "done" : s < 0.95 ? "transcribed" : "pending";
                e.transcript = target || e.state != "pending";
                e.insights = target || e.state == "done";
            } else if (rng_.chance(0.7)) {
                e.state = "done";
            }
            const TypeShape& shape = *e.shape;
            Json item = {{"id", e.id}, {"type", shape.type}, {"date", e.date}};
            std::string title = rng_.chance(shape.titled) ? rng_.pick(kTitles) : "";
            u = rng_.unit();  // mostly short notes with a long tail
            auto chars = 100 + static_cast<std::size_t>(static_cast<double>(shape.maxChars - 100) * u * u);
            std::string content = mixedText(rng_, chars, 0.3 + 0.6 * rng_.unit());
            Json tags = rng_.chance(0.8) ? someOf(rng_, kTags, 4) : Json::array();
            for (int m = 0; m < 2; ++m) {
                if (!rng_.chance(0.01)) continue;
                ++marked[m];
                std::string marker = m == 0 ? kAsciiMarker : kChineseMarker;
                auto place = rng_.below(10);
                if (place < 3 && !title.empty()) {
                    title = withMarker(rng_, title, marker);
                } else if (place < 8 || title.empty()) {
                    content = withMarker(rng_, content, marker);
                } else {
                    tags.push_back(marker);
                }
            }
            if (!title.empty()) item["title"] = title;
            item["content"] = content;
            if (shape.source) item["source"] = e.voice() && rng_.chance(0.3) ? "Mac 录音" : shape.source;
            if (!shape.source && rng_.chance(0.4)) item["source"] = "快速笔记";
            if (!tags.empty()) item["tags"] = tags;
            if (rng_.chance(0.5)) item["people"] = someOf(rng_, kPeople, 3);
            if (rng_.chance(0.4)) item["projects"] = someOf(rng_, kProjects, 2);
            if (e.voice()) {
                item["outputRelPath"] = "outputs/" + e.day + "/" + e.id + ".tr.txt";
                item["audioRelPath"] = "audio/" + e.day + "/" + e.id + ".m4a";
                item["durationSec"] = rng_.between(30, 5400);
            }
            if (!e.state.empty()) item["processingState"] = e.state;
            if (rng_.chance(0.3)) item["extractedTasks"] = someOf(rng_, kTasks, 3);
            if (rng_.chance(0.9)) item["importance"] = rng_.between(1, 5);
            item["isPinned"] = rng_.chance(0.02);
            index << wire(item) << (i + 1 < count ? ",\n" : "\n");
            entryFiles(e, title.empty() ? "录音纪要" : title, target, i == count / 2);
            // Most days the Mac app wrote a report; the newest texts still wait in the inputs.
            if (e.day != lastDay && rng_.chance(0.7)) dailyReport(e.day), ++reports;
            if (i < 20) writeFile(folder("memories/timeline/inputs/" + e.day) / (rng_.uuid() + ".memo.txt"), content);
            lastDay = e.day;
        }
        index << "],\"updatedAt\":\"2025-12-31T15:59:59Z\",\"version\":3}";
        if (!index.flush()) throw std::runtime_error("cannot write " + (root_ / "core/Dashboard.json").string());
        targets["asciiMarked"] = marked[0];
        targets["chineseMarked"] = marked[1];
        targets["reports"] = reports;
    }

private:
    // A transcript as .transcript.json, .tr.txt or both (the benchmarks' recordings get both);
    // minutes, summary and metadata.
    void entryFiles(const Entry& e, const std::string& title, bool target, bool longOne) {
        if (e.transcript) {
            fs::path dir = folder("memories/timeline/outputs/" + e.day);
            std::string text =
                transcriptText(rng_, longOne ? kTargetChars : static_cast<std::size_t>(rng_.between(10000, 25000)));
            double form = target ? 0.0 : rng_.unit();
            Json doc = {{"plainText", text}, {"language", "zh-CN"}, {"engine", "on-device"}};
            if (form < 0.8) writeFile(dir / (e.id + ".transcript.json"), wire(doc));
            if (form < 0.5 || form >= 0.8) writeFile(dir / (e.id + ".tr.txt"), text);
        }
        if (e.insights) {
            fs::path dir = folder("memories/timeline/insights/" + e.day);
            writeFile(dir / (e.id + ".min.md"), minutesMarkdown(rng_, title));
            writeFile(dir / (e.id + ".sum.txt"), mixedText(rng_, 80, 0.9));
            Json meta = {{"id", e.id}, {"type", "voice"}, {"model", "minutes-v3"}, {"language", "zh"}};
            writeFile(dir / (e.id + ".meta.json"), pretty(meta));
        }
    }
    void dailyReport(const std::string& day) {
        Json report = {{"headline", rng_.pick(kTitles) + ":" + rng_.pick(kChinese)},
            {"shortSummary", mixedText(rng_, 60, 0.9)}, {"narrative", mixedText(rng_, 400, 0.8)},
            {"markdownContent", "## 今天\n- " + mixedText(rng_, 150, 0.8)}, {"keyInsights", someOf(rng_, kChinese, 3)},
            {"pendingItems", someOf(rng_, kTasks, 3)}, {"tomorrowSuggestions", someOf(rng_, kTasks, 2)},
            {"moodSummary", {{"label", "平稳"}, {"score", 3.5}}}, {"schemaVersion", 2}};
        writeFile(folder("memories/timeline/insights/daily_reports") / (day + ".json"), pretty(report));
    }
    fs::path folder(const std::string& relative) {
        if (made_.insert(relative).second) fs::create_directories(root_ / relative);
        return root_ / relative;
    }

    fs::path root_;
    Random rng_;
    std::unordered_set<std::string> made_;
};

fs::path targetsPath(fs::path vault) {
    if (!vault.has_filename()) vault = vault.parent_path();  // a trailing "/"
    return vault.parent_path() / (vault.filename().string() + ".bench.json");
}

// The folder a vault is built in: a run that was killed leaves only this
// scratch folder, never a vault that looks complete.
fs::path scratchFor(const fs::path& out) {
    if (fs::exists(out)) throw std::runtime_error(out.string() + " already exists; remove it to regenerate");
    fs::path scratch = out;
    fs::remove_all(scratch += ".partial");
    fs::create_directories(scratch / "preferences");
    fs::create_directories(scratch / "core");
    return scratch;
}

// Marks the layout, moves the vault into place and writes its description beside it.
Json publish(const fs::path& scratch, const fs::path& out, const Json& description) {
    Json marker = {{"app", "quillstack"}, {"createdAt", "2016-01-01T00:00:00Z"}, {"pathSchema", "english-v2"},
        {"schemaVersion", 2}};
    writeFile(scratch / "preferences/quillstack-library.json", pretty(marker));
    fs::rename(scratch, out);
    writeFile(targetsPath(out), pretty(description) + "\n");
    return description;
}

}  // namespace

Json generateVault(const fs::path& out, std::size_t entries, std::uint64_t seed) {
    if (entries < 3) throw std::runtime_error("a vault needs at least 3 entries");
    const fs::path scratch = scratchFor(out);
    Generator gen(scratch, seed);
    Json t = {{"entries", entries}, {"seed", seed}, {"asciiMarker", kAsciiMarker}, {"chineseMarker", kChineseMarker},
        {"voiceDateFrom", "2023-01-01"}, {"voiceDateTo", "2023-03-31"}, {"transcriptChars", kTargetChars}};
    gen.timeline(entries, t);
    fs::create_directories(scratch / "memories/timeline/inputs");
    return publish(scratch, out, t);
}

Json generateDayFolderVault(const fs::path& out, std::size_t dayFolders, std::uint64_t seed) {
    if (dayFolders < 200) throw std::runtime_error("a day-folder vault needs at least 200 days");
    const fs::path scratch = scratchFor(out);
    Random rng(seed);
    const fs::path insights = scratch / "memories/timeline/insights", outputs = scratch / "memories/timeline/outputs";
    // Days run back from the end of 2025, or forward from 1970 when there are more of them.
    const std::int64_t last =
        std::max(midnight(2025, 12, 31), midnight(1970, 1, 2) + static_cast<std::int64_t>(dayFolders) * 86400);
    std::string present;  // the newest day whose recording has its files there
    std::ofstream index(scratch / "core/Dashboard.json", std::ios::binary);
    index << "{\"feedItems\":[\n";
    for (std::size_t i = 0; i < dayFolders; ++i) {
        const std::int64_t midday = last - static_cast<std::int64_t>(i) * 86400 + 43200;
        const std::string day = iso(midday, "").substr(0, 10), before = iso(midday - 86400, "").substr(0, 10);
        const std::string voice = rng.uuid(), note = rng.uuid();
        fs::create_directories(insights / day);
        fs::create_directories(outputs / day);
        // Recent recordings wait for their files, or have them a day early.
        const std::string filedUnder = i >= 100 ? day : i % 2 ? before : "";
        if (i == 100) present = day;
        if (!filedUnder.empty()) {
            fs::create_directories(insights / filedUnder);
            fs::create_directories(outputs / filedUnder);
            for (const char* suffix : {".min.md", ".sum.txt", ".meta.json"})
                writeFile(insights / filedUnder / (voice + suffix), "x");
            writeFile(outputs / filedUnder / (voice + ".tr.txt"), "x");
        }
        writeFile(insights / day / (note + ".meta.json"), "{}");
        Json items[] = {{{"id", voice}, {"type", "voice"}, {"date", iso(midday, "+08:00")},
                            {"title", rng.pick(kTitles)}, {"content", mixedText(rng, 120, 0.7)},
                            {"outputRelPath", (fs::path("outputs") / day / (voice + ".tr.txt")).string()},
                            {"processingState", filedUnder.empty() ? "pending" : "done"}},
            {{"id", note}, {"type", "text"}, {"date", iso(midday - 3600, "+08:00")},
                {"content", mixedText(rng, 200, 0.5)}}};
        index << wire(items[0]) << ",\n" << wire(items[1]) << (i + 1 < dayFolders ? ",\n" : "\n");
    }
    index << "],\"updatedAt\":\"2025-12-31T15:59:59Z\"}";
    if (!index.flush()) throw std::runtime_error("cannot write " + (scratch / "core/Dashboard.json").string());
    index.close();
    // Recordings 101 to 150 from the newest: files on their own day.
    const Json t = {{"dayFolders", dayFolders}, {"seed", seed}, {"presentTo", present},
        {"presentFrom", iso(last - 149 * std::int64_t{86400}, "").substr(0, 10)}};
    return publish(scratch, out, t);
}

std::optional<Json> readTargets(const fs::path& vault) {
    std::ifstream in(targetsPath(vault), std::ios::binary);
    auto t = parseJsonDocument(std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    // An older or truncated description counts as none: regenerate.
    if (!t || !t->is_object() || !(t->contains("reports") || t->contains("presentTo"))) return std::nullopt;
    return t;
}

}  // namespace qs::Bench
