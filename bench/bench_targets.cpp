// Reading and writing the generator's description of a vault.
#include "bench_targets.hpp"

#include <fstream>   // std::ifstream
#include <iterator>  // std::istreambuf_iterator

#include "json/json.hpp"

namespace qs::Bench {

std::filesystem::path targetsPath(const std::filesystem::path& vaultDir) {
    std::filesystem::path dir = vaultDir;
    if (!dir.has_filename()) dir = dir.parent_path();  // a trailing "/"
    return dir.parent_path() / (dir.filename().string() + ".bench.json");
}

std::string targetsToJson(const BenchTargets& t) {
    Json j = {
        {"entries", t.entries},
        {"seed", t.seed},
        {"dashboardBytes", t.dashboardBytes},
        {"asciiMarker", t.asciiMarker},
        {"chineseMarker", t.chineseMarker},
        {"asciiMarked", t.asciiMarked},
        {"chineseMarked", t.chineseMarked},
        {"voiceDateFrom", t.voiceDateFrom},
        {"voiceDateTo", t.voiceDateTo},
        {"transcriptId", t.transcriptId},
        {"transcriptChars", t.transcriptChars},
        {"minutesId", t.minutesId},
        {"reportDay", t.reportDay},
        {"vocabQuery", t.vocabQuery},
        {"vocabWords", t.vocabWords},
    };
    return JsonWriter::payload(j).value_or("{}");
}

std::optional<BenchTargets> readTargets(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto j = parseJsonDocument(text);
    if (!j || !j->is_object()) return std::nullopt;
    try {
        BenchTargets t;
        t.entries = j->at("entries").get<std::size_t>();
        t.seed = j->at("seed").get<std::uint64_t>();
        t.dashboardBytes = j->at("dashboardBytes").get<std::uint64_t>();
        t.asciiMarker = j->at("asciiMarker").get<std::string>();
        t.chineseMarker = j->at("chineseMarker").get<std::string>();
        t.asciiMarked = j->at("asciiMarked").get<std::size_t>();
        t.chineseMarked = j->at("chineseMarked").get<std::size_t>();
        t.voiceDateFrom = j->at("voiceDateFrom").get<std::string>();
        t.voiceDateTo = j->at("voiceDateTo").get<std::string>();
        t.transcriptId = j->at("transcriptId").get<std::string>();
        t.transcriptChars = j->at("transcriptChars").get<std::size_t>();
        t.minutesId = j->at("minutesId").get<std::string>();
        t.reportDay = j->at("reportDay").get<std::string>();
        t.vocabQuery = j->at("vocabQuery").get<std::string>();
        t.vocabWords = j->at("vocabWords").get<std::size_t>();
        return t;
    } catch (const Json::exception&) {
        return std::nullopt;  // an older or truncated description: regenerate
    }
}

}  // namespace qs::Bench
