// Builds the benchmark's requests, times them, and classifies replies as success or failure.
#include "bench_calls.hpp"

#include <algorithm>  // std::min
#include <chrono>     // std::chrono::steady_clock
#include <cstdint>    // std::int64_t

namespace qs::Bench {
namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string shorten(std::string text) {
    constexpr std::size_t kMax = 70;
    if (text.size() <= kMax) return text;
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // keep UTF-8 whole
    return text.substr(0, cut) + "…";
}

Json initializeParams() {
    return {{"protocolVersion", "2025-06-18"},
            {"capabilities", Json::object()},
            {"clientInfo", {{"name", "quillstack-bench"}, {"version", "0.1.0"}}}};
}

// Why a reply is not a success, or nothing when it is.
std::string replyProblem(const Json& reply) {
    if (!reply.is_object()) return "reply is not an object";
    if (auto e = reply.find("error"); e != reply.end()) {
        std::string code = e->contains("code") ? e->at("code").dump() : "?";
        std::string message = e->contains("message") && e->at("message").is_string() ? e->at("message").get<std::string>() : "";
        return shorten("rpc " + code + " " + message);
    }
    auto result = reply.find("result");
    if (result == reply.end()) return "reply has no result";
    if (result->is_object() && result->value("isError", false)) {
        std::string text;
        if (auto c = result->find("content"); c != result->end() && c->is_array() && !c->empty() &&
                                               (*c)[0].is_object() && (*c)[0].contains("text") && (*c)[0]["text"].is_string()) {
            text = (*c)[0]["text"].get<std::string>();
        }
        return shorten("tool error: " + text);
    }
    return {};
}

// The payload of a successful tool result: its single text item parsed.
std::optional<Json> toolPayload(const Json& result) {
    if (!result.is_object()) return std::nullopt;
    auto content = result.find("content");
    if (content == result.end() || !content->is_array() || content->empty()) return std::nullopt;
    const Json& first = (*content)[0];
    if (!first.is_object() || !first.contains("text") || !first["text"].is_string()) return std::nullopt;
    return parseJsonDocument(first["text"].get<std::string>());
}

std::int64_t integerAt(const Json& payload, const char* key) {
    auto it = payload.find(key);
    return it != payload.end() && it->is_number_integer() ? it->get<std::int64_t>() : -1;
}

std::string expectCount(const Json& payload, const char* key, std::int64_t want) {
    std::int64_t got = integerAt(payload, key);
    if (got == want) return {};
    return std::string("\"") + key + "\" is " + std::to_string(got) + ", expected " + std::to_string(want);
}

std::string expectPresent(const Json& payload, const char* key) {
    auto it = payload.find(key);
    bool empty = it == payload.end() || it->is_null() || (it->is_string() && it->get<std::string>().empty());
    return empty ? std::string("no \"") + key + "\"" : std::string();
}

}  // namespace

std::vector<ToolCall> benchCalls(const BenchTargets& t) {
    auto upTo = [](std::size_t n, std::int64_t cap) { return std::min<std::int64_t>(static_cast<std::int64_t>(n), cap); };
    const std::int64_t entries = static_cast<std::int64_t>(t.entries);
    const std::int64_t chars = static_cast<std::int64_t>(t.transcriptChars);
    return {
        {"search ASCII ~1%", "vault_search", {{"query", t.asciiMarker}}, FloorKind::dashboard,
         [=](const Json& p) { return expectCount(p, "returned", upTo(t.asciiMarked, 20)); }},
        {"search 中文 ~1%", "vault_search", {{"query", t.chineseMarker}}, FloorKind::dashboard,
         [=](const Json& p) { return expectCount(p, "returned", upTo(t.chineseMarked, 20)); }},
        {"search no args", "vault_search", Json::object(), FloorKind::dashboard,
         [=](const Json& p) { return expectCount(p, "total_in_vault", entries); }},
        {"search voice+dates", "vault_search",
         {{"type", "voice"}, {"date_from", t.voiceDateFrom}, {"date_to", t.voiceDateTo}}, FloorKind::dashboard,
         [=](const Json& p) { return integerAt(p, "returned") > 0 ? std::string() : "nothing found"; }},
        {"recording_list", "recording_list", Json::object(), FloorKind::dashboard,
         [=](const Json& p) { return integerAt(p, "returned") > 0 ? std::string() : "no recordings"; }},
        {"transcript 5k@10k", "recording_transcript",
         {{"id", t.transcriptId}, {"offset", 10000}, {"max_chars", 5000}}, FloorKind::dashboard,
         [=](const Json& p) {
             std::string problem = expectCount(p, "total_chars", chars);
             return problem.empty() ? expectCount(p, "returned_chars", std::min<std::int64_t>(5000, chars - 10000)) : problem;
         }},
        {"minutes_read", "minutes_read", {{"id", t.minutesId}}, FloorKind::dashboard,
         [=](const Json& p) { return expectPresent(p, "minutes_markdown"); }},
        {"vocab_list query", "vocab_list", {{"query", t.vocabQuery}}, FloorKind::vocabulary,
         [=](const Json& p) { return integerAt(p, "total") > 0 ? std::string() : "no words found"; }},
        {"report_daily", "report_daily", {{"date", t.reportDay}}, FloorKind::none,
         [=](const Json& p) { return expectPresent(p, "headline"); }},
    };
}

CallOutcome RpcDriver::initialize() {
    CallOutcome out = call("initialize", initializeParams());
    if (out.error.empty()) {
        Json note = {{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}};
        child_.sendLine(JsonWriter::wire(note).value_or("{}"));
    }
    return out;
}

CallOutcome RpcDriver::call(const std::string& method, const Json& params) {
    const long id = nextId_++;
    Json request = {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
    std::string line = JsonWriter::wire(request).value_or("");
    CallOutcome out;
    auto start = Clock::now();
    if (!child_.sendLine(line)) return CallOutcome::failed(msSince(start), "server is not running");
    while (true) {
        auto reply = child_.readLine(timeoutMs_);
        out.ms = msSince(start);
        if (!reply) {
            out.error = child_.outputClosed() ? "server exited" : "no reply in time";
            return out;
        }
        auto parsed = parseJsonDocument(*reply);
        if (!parsed) {
            out.error = "unparsable reply line";
            return out;
        }
        // Anything that is not the answer to this request (a notification) is skipped.
        if (!parsed->is_object() || !parsed->contains("id") || (*parsed)["id"] != id) continue;
        out.error = replyProblem(*parsed);
        if (out.error.empty()) out.result = std::move((*parsed)["result"]);
        return out;
    }
}

CallResult measureCall(RpcDriver& driver, const ToolCall& toolCall, int warmup, int repeat) {
    Json params = {{"name", toolCall.tool}, {"arguments", toolCall.arguments}};
    CallResult result;
    std::vector<double> samples;
    for (int i = 0; i < warmup + repeat; ++i) {
        CallOutcome one = driver.call("tools/call", params);
        if (!one.error.empty()) {
            result.error = one.error;
            return result;
        }
        if (i == 0 && toolCall.check) {
            auto payload = toolPayload(one.result);
            result.warning = payload ? toolCall.check(*payload) : "the result holds no JSON payload";
        }
        if (i >= warmup) samples.push_back(one.ms);
    }
    result.latency = summarize(std::move(samples));
    return result;
}

CallOutcome timeSpawnToInitialize(const std::string& binary, const std::string& vault, int timeoutMs) {
    auto start = Clock::now();
    try {
        ServerChild child(binary, {"--vault", vault});
        RpcDriver driver(child, timeoutMs);
        CallOutcome out = driver.call("initialize", initializeParams());
        out.ms = msSince(start);
        child.finish();
        return out;
    } catch (const std::exception& e) {
        return CallOutcome::failed(msSince(start), e.what());
    }
}

}  // namespace qs::Bench
