// Phrase pools for synthetic journal entries: a product manager's work and life.
#include "text_pool.hpp"

namespace qs::Bench::TextPool {
namespace {

const std::vector<std::string> kChinese = {
    "今天的例会开得有点长,但该定的事情都定了。", "客户说导出功能一定要保留筛选条件。",
    "下午和设计一起过了首页的高保真稿,整体方向没问题。", "加载速度还是太慢,大表格第一次打开要七八秒。",
    "晚上跑了五公里,配速比上周快了十秒。", "妈妈打电话说周末想去公园走走。",
    "这个需求的优先级需要和老板再对一次。", "季度目标里付费转化率落后得比较多。",
    "用户访谈里有三个人都提到了同一个问题。", "我们可能高估了新用户对模板的需求。",
    "数据口径不一致,财务那边很不信任这个报表。", "把上周的复盘整理成文档发到群里。",
    "午饭的时候想到一个改进新手引导的办法。", "评审会上大家对导航的改动意见不太统一。",
    "地铁上读完了两章书,作者的观点很有启发。", "今天睡得不好,下午开会的时候有点走神。",
    "和技术负责人聊了缓存方案,预计一个迭代能做完。", "周五之前要把产品需求文档的初稿发出去。",
    "客服反馈说同步失败的提示太不明显了。", "这周的迭代完成了十九张卡,还剩四张。",
    "合作伙伴希望数据留在欧洲的机房里。", "想清楚要解决的问题,比急着给出方案更重要。",
    "晚饭做了红烧肉,味道比上次好多了。", "周末带爸妈去植物园,樱花已经开了一半。",
    "新版本的空状态设计得很用心,插画很好看。", "定价模型可能才是转化率低的真正原因。",
    "会后单独和销售聊了一下老客户迁移的问题。", "今天的步数只有四千多,明天要多走走。",
    "看板上有两张卡一直卡在等设计稿。", "灰度发布先开百分之五的用户,观察两天。",
    "埋点数据显示大部分人在第三步就流失了。", "下周要去杭州出差,记得提前订酒店。",
};

const std::vector<std::string> kEnglish = {
    "Let's take this offline and circle back on Friday.", "The dashboard takes seven seconds to load on large tables.",
    "We agreed to ship CSV export first and Excel later.", "Fall in love with the problem, not the solution.",
    "Retention on day seven doubled for users who imported demo data.", "The pilot customers need their data to stay in the EU.",
    "Scope freeze is next Friday, beta goes out at the end of the month.", "I don't have the bandwidth for another project this quarter.",
    "What is the trade-off between speed and accuracy here?", "The weekly active team count is at seventy-eight percent of target.",
    "Design review went well: seven decisions, no open blockers.", "Remember to send the staging access before Wednesday.",
    "Alert fatigue is real; cap notifications at three a day.", "The z-score approach filters out most of the noise.",
    "Progressive disclosure keeps the first screen simple.", "Ran 5 km this morning, the weather was perfect.",
    "Pricing per workspace might fit retail chains better.", "Katrin will review the German strings in context.",
    "The export failed with a gateway timeout after 30 seconds.", "Need to follow up with finance about the revenue numbers.",
    "Saved views solve most of the filtering complaints.", "Mom sent a recipe for braised pork belly.",
    "The onboarding checklist should start with connecting a data source.", "Our NPS moved from 32 to 36 this month.",
    "Read two chapters of Inspired on the train home.", "The webhook integration moves up in the backlog.",
};

const std::vector<std::string> kEmoji = {
    "🎉", "🙂", "😮‍💨", "👍🏽", "👩‍💻", "🏃", "🌸", "📧", "🍲", "☕️", "🇨🇳", "👨‍👩‍👧", "✅", "🤔", "📈", "🚇",
};

const std::vector<std::string> kTags = {
    "会议", "日记", "想法", "用户访谈", "OKR", "读书", "健康", "跑步", "家人", "设计", "定价", "bug",
    "Sprint", "英语", "学习", "增长", "竞品", "出差", "复盘", "meeting", "idea", "travel", "reading",
};
const std::vector<std::string> kPeople = {
    "王磊", "赵敏", "Sarah Chen", "Amy", "David Müller", "Katrin", "小周", "妈妈", "爸爸", "陈老师", "Tom", "李娜",
};
const std::vector<std::string> kProjects = {
    "Atlas 2.0", "定价调整", "增长实验", "Q1 OKR", "国际化", "数据平台", "Onboarding", "Mobile",
};
const std::vector<std::string> kTitles = {
    "周一产品例会", "客户访谈", "设计评审 Design Review", "和王磊的 1:1", "Partner sync", "回家路上的语音备忘",
    "读书笔记", "周末计划", "竞品定价页截图", "看板截图", "健康摘要", "短信摘要", "去年今天", "午饭时的想法",
    "Weekly planning", "Retro notes", "下周要做的事", "English phrases to remember", "白板照片", "复盘",
};
const std::vector<std::string> kTasks = {
    "周三前把 PRD 发给设计", "评估导出功能工作量", "约客户确认访谈纪要", "和销售对一下定价方案",
    "Send staging access to David", "Book the hotel for the Hangzhou trip", "更新 OKR 进度", "报名 SQL 内训",
};
const std::vector<std::string> kTranslations = {
    "n. 带宽;精力", "v. 减轻,缓和", "adj. 模棱两可的", "n. 共识", "v. 弃用", "adj. 可扩展的", "adj. 暂定的",
    "n. 激励,动机", "n. 同期群", "adj. 务实的", "adj. 令人信服的", "n. 可行性", "n. 利益相关者", "v. 优先处理",
    "n. 异常", "n. 疲劳,厌倦", "n. 披露", "n. 权衡,取舍", "v. 利用 n. 杠杆", "adj. 住宅的",
};

const std::vector<std::string> kOnsets = {"b", "br", "c", "cl", "d", "f", "fl", "g", "gr", "l", "m", "n", "p", "pr", "r", "s", "st", "t", "tr", "v"};
const std::vector<std::string> kVowels = {"a", "e", "i", "o", "u", "ea", "io"};
const std::vector<std::string> kSuffixes = {"tion", "ment", "ness", "able", "ity", "ous", "ive", "ize", "er", "al", "ence", "ing"};

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

const std::vector<std::string>& tags() { return kTags; }
const std::vector<std::string>& people() { return kPeople; }
const std::vector<std::string>& projects() { return kProjects; }
const std::vector<std::string>& titles() { return kTitles; }
const std::vector<std::string>& tasks() { return kTasks; }
const std::vector<std::string>& translations() { return kTranslations; }

std::size_t countCodePoints(std::string_view text) {
    std::size_t n = 0;
    for (char c : text) n += continuation(static_cast<unsigned char>(c)) ? 0 : 1;
    return n;
}

std::string firstCodePoints(std::string_view text, std::size_t count) {
    std::size_t seen = 0, i = 0;
    for (; i < text.size(); ++i) {
        if (!continuation(static_cast<unsigned char>(text[i])) && seen++ == count) break;
    }
    return std::string(text.substr(0, i));
}

std::string mixedText(BenchRandom& rng, std::size_t minChars, double chineseShare) {
    std::string out;
    std::size_t chars = 0;
    while (chars < minChars) {
        const std::string& phrase = rng.chance(chineseShare) ? rng.pick(kChinese) : rng.pick(kEnglish);
        if (!out.empty() && out.back() != '\n' && (static_cast<unsigned char>(phrase[0]) < 0x80)) {
            out += ' ';
            ++chars;
        }
        out += phrase;
        chars += countCodePoints(phrase);
        if (rng.chance(0.08)) {
            out += rng.pick(kEmoji);
            chars += 1;
        }
        if (rng.chance(0.15)) {
            out += '\n';
            ++chars;
        }
    }
    return out;
}

std::string transcriptText(BenchRandom& rng, std::size_t chars) {
    std::string out;
    std::size_t have = 0;
    while (have < chars) {
        const std::string& phrase = rng.chance(0.75) ? rng.pick(kChinese) : rng.pick(kEnglish);
        out += phrase;
        have += countCodePoints(phrase);
    }
    return firstCodePoints(out, chars);
}

std::string minutesMarkdown(BenchRandom& rng, std::string_view title) {
    std::string md = "# " + std::string(title) + "\n\n**参会**:";
    for (int i = 0, n = static_cast<int>(rng.between(2, 5)); i < n; ++i) md += (i ? "、" : "") + rng.pick(kPeople);
    md += "\n\n## 要点\n";
    for (int i = 0, n = static_cast<int>(rng.between(4, 9)); i < n; ++i) md += "- " + mixedText(rng, 20, 0.7) + "\n";
    md += "\n## 决定\n";
    for (int i = 1, n = static_cast<int>(rng.between(2, 6)); i <= n; ++i) {
        md += std::to_string(i) + ". " + rng.pick(kChinese) + "\n";
    }
    md += "\n## Action items\n";
    for (int i = 0, n = static_cast<int>(rng.between(1, 4)); i < n; ++i) md += "- [ ] " + rng.pick(kTasks) + "\n";
    return md;
}

std::string pseudoWord(BenchRandom& rng) {
    std::string w;
    for (int i = 0, n = static_cast<int>(rng.between(1, 3)); i < n; ++i) w += rng.pick(kOnsets) + rng.pick(kVowels);
    if (rng.chance(0.6)) w += rng.pick(kSuffixes);
    return w;
}

}  // namespace qs::Bench::TextPool
