// Streams the generated Dashboard.json item by item and writes each entry's transcript and insight files.
#include <algorithm>      // std::find
#include <cstdio>         // std::FILE, std::fopen, std::fwrite
#include <fstream>        // std::ofstream
#include <memory>         // std::unique_ptr
#include <stdexcept>      // std::runtime_error
#include <unordered_set>  // std::unordered_set

#include "json/json.hpp"
#include "text_pool.hpp"
#include "vault_parts.hpp"

namespace qs::Bench {
namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

namespace {

// An item's text through the house wire writer, so the index carries "\/"
// escapes and raw UTF-8 as the companion app's encoder writes them.
std::string wire(const Json& value) {
    auto text = JsonWriter::wire(value);
    if (!text) throw std::runtime_error("generated a value the JSON writer refuses");
    return *text;
}

class FolderMaker {
public:
    void ensure(const fs::path& dir) {
        if (made_.insert(dir.string()).second) fs::create_directories(dir);
    }

private:
    std::unordered_set<std::string> made_;
};

std::string withMarker(std::string text, std::string_view marker, BenchRandom& rng) {
    std::size_t pos = rng.below(text.size() + 1);
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
    std::string padded(1, ' ');
    padded.append(marker).push_back(' ');
    text.insert(pos, padded);
    return text;
}

// Mixed case, so only a case-insensitive search finds every marked entry.
std::string asciiMarkerVariant(BenchRandom& rng) {
    std::string m(TextPool::asciiMarker);
    switch (rng.below(3)) {
    case 0: return m;
    case 1: m[0] = static_cast<char>(m[0] - 'a' + 'A'); return m;
    default:
        for (char& c : m) c = static_cast<char>(c - 'a' + 'A');
        return m;
    }
}

struct TypeShape {
    double titled;
    std::size_t minChars, maxChars;
    const char* source;
};

TypeShape shapeOf(const std::string& type) {
    if (type == "voice") return {0.85, 100, 1000, "iPhone 录音"};
    if (type == "text") return {0.55, 100, 2000, nullptr};
    if (type == "ocr") return {0.40, 100, 1500, "截图"};
    if (type == "clip") return {0.30, 100, 800, "剪贴板"};
    if (type == "health") return {1.0, 100, 300, "健康"};
    if (type == "sms") return {1.0, 100, 400, "短信"};
    return {1.0, 100, 300, "那年今日"};
}

Json stringList(BenchRandom& rng, const std::vector<std::string>& pool, long most) {
    Json list = Json::array();
    for (long i = 0, n = rng.between(1, most); i < n; ++i) {
        const std::string& value = rng.pick(pool);
        if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
    }
    return list;
}

Json buildItem(const PlannedEntry& e, BenchRandom& rng, std::string& title) {
    const TypeShape shape = shapeOf(e.type);
    Json item = Json::object();
    item["id"] = e.id;
    item["type"] = e.type;
    item["date"] = e.dateISO;
    title.clear();
    if (rng.chance(shape.titled)) title = rng.pick(TextPool::titles());
    // Mostly short entries with a long tail, like real notes.
    double u = rng.unit();
    auto chars = shape.minChars + static_cast<std::size_t>(static_cast<double>(shape.maxChars - shape.minChars) * u * u);
    std::string content = TextPool::mixedText(rng, chars, 0.3 + 0.6 * rng.unit());
    Json tags = rng.chance(0.8) ? stringList(rng, TextPool::tags(), 4) : Json::array();

    for (int which = 0; which < 2; ++which) {
        bool marked = which == 0 ? e.asciiMarker : e.chineseMarker;
        if (!marked) continue;
        std::string marker = which == 0 ? asciiMarkerVariant(rng) : std::string(TextPool::chineseMarker);
        auto place = rng.below(10);
        if (place < 3 && !title.empty()) {
            title = withMarker(title, marker, rng);
        } else if (place < 8 || title.empty()) {
            content = withMarker(content, marker, rng);
        } else {
            tags.push_back(marker);
        }
    }
    if (!title.empty()) item["title"] = title;
    item["content"] = content;
    if (shape.source) {
        item["source"] = e.type == "voice" && rng.chance(0.3) ? "Mac 录音" : shape.source;
    } else if (rng.chance(0.4)) {
        item["source"] = "快速笔记";
    }
    if (!tags.empty()) item["tags"] = tags;
    if (rng.chance(0.5)) item["people"] = stringList(rng, TextPool::people(), 3);
    if (rng.chance(0.4)) item["projects"] = stringList(rng, TextPool::projects(), 2);
    if (e.type == "voice") {
        item["outputRelPath"] = "outputs/" + e.day + "/" + e.id + ".tr.txt";
        item["audioRelPath"] = "audio/" + e.day + "/" + e.id + ".m4a";
        item["durationSec"] = rng.between(30, 5400);
    }
    if (!e.processingState.empty()) item["processingState"] = e.processingState;
    if (rng.chance(0.3)) item["extractedTasks"] = stringList(rng, TextPool::tasks(), 3);
    if (rng.chance(0.9)) item["importance"] = rng.between(1, 5);
    item["isPinned"] = rng.chance(0.02);
    return item;
}

void writeEntryFiles(const fs::path& root, const PlannedEntry& e, const std::string& title, BenchRandom& rng,
                     FolderMaker& folders) {
    if (e.transcript) {
        fs::path dir = root / "memories/timeline/outputs" / e.day;
        folders.ensure(dir);
        std::size_t chars = e.transcriptChars ? e.transcriptChars : static_cast<std::size_t>(rng.between(10000, 25000));
        std::string text = TextPool::transcriptText(rng, chars);
        double form = e.transcriptChars ? 0.0 : rng.unit();  // the benchmark's recording gets both files
        if (form < 0.8) {
            Json doc = {{"plainText", text}, {"language", "zh-CN"}, {"engine", "on-device"}};
            writeFile(dir / (e.id + ".transcript.json"), wire(doc));
        }
        if (form < 0.5 || form >= 0.8) writeFile(dir / (e.id + ".tr.txt"), text);
    }
    if (e.insights) {
        fs::path dir = root / "memories/timeline/insights" / e.day;
        folders.ensure(dir);
        writeFile(dir / (e.id + ".min.md"), TextPool::minutesMarkdown(rng, title.empty() ? "录音纪要" : title));
        writeFile(dir / (e.id + ".sum.txt"), TextPool::mixedText(rng, 20, 0.9));
        Json meta = {{"id", e.id}, {"type", e.type}, {"model", "minutes-v3"}, {"language", "zh"}};
        writeFile(dir / (e.id + ".meta.json"), JsonWriter::payload(meta).value_or("{}"));
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::uint64_t writeTimeline(const fs::path& root, const VaultPlan& plan, std::uint64_t seed) {
    BenchRandom itemRng(seed ^ 0x6974656D735F7631ULL);
    BenchRandom fileRng(seed ^ 0x66696C65735F7631ULL);
    FolderMaker folders;
    fs::create_directories(root / "core");
    const fs::path indexPath = root / "core/Dashboard.json";
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(indexPath.c_str(), "wb"));
    if (!out) throw std::runtime_error("cannot create " + indexPath.string());
    std::setvbuf(out.get(), nullptr, _IOFBF, 1 << 20);

    std::uint64_t bytes = 0;
    auto put = [&](const std::string& s) {
        if (std::fwrite(s.data(), 1, s.size(), out.get()) != s.size()) {
            throw std::runtime_error("cannot write " + indexPath.string());
        }
        bytes += s.size();
    };
    put("{\"feedItems\":[\n");
    std::string title;
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlannedEntry& e = plan.entries[i];
        put(wire(buildItem(e, itemRng, title)) + (i + 1 < plan.entries.size() ? ",\n" : "\n"));
        writeEntryFiles(root, e, title, fileRng, folders);
    }
    put("],\"updatedAt\":\"2025-12-31T15:59:59Z\",\"version\":3}");
    if (std::fclose(out.release()) != 0) throw std::runtime_error("cannot write " + indexPath.string());
    return bytes;
}

}  // namespace qs::Bench
