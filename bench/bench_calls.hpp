// The measured tool calls and the JSON-RPC conversation that times them.
#pragma once

#include <functional>  // std::function
#include <string>      // std::string
#include <vector>    // std::vector

#include "bench_targets.hpp"
#include "json/json.hpp"
#include "latency.hpp"
#include "server_child.hpp"

namespace qs::Bench {

enum class FloorKind { dashboard, vocabulary, none };

struct ToolCall {
    std::string label;  // column heading
    std::string tool;
    Json arguments;
    FloorKind floor;
    // Looks at the first reply's payload; says what is wrong with it, so a
    // call that returns the wrong thing is not mistaken for a fast one.
    std::function<std::string(const Json& payload)> check;
};

// The benchmark's calls, aimed at what the generator put in the vault.
std::vector<ToolCall> benchCalls(const BenchTargets& targets);

struct CallOutcome {
    double ms = 0;
    std::string error;  // empty on success
    Json result;        // the reply's "result" on success

    static CallOutcome failed(double ms, std::string error) {
        CallOutcome out;
        out.ms = ms;
        out.error = std::move(error);
        return out;
    }
};

// One JSON-RPC conversation with a running server.
class RpcDriver {
public:
    RpcDriver(ServerChild& child, int timeoutMs) : child_(child), timeoutMs_(timeoutMs) {}
    // Sends "initialize" and then the "initialized" notification.
    CallOutcome initialize();
    // Times one request from the first byte sent to the whole reply line read.
    // A JSON-RPC error or a tool result with "isError" comes back as `error`.
    CallOutcome call(const std::string& method, const Json& params);

private:
    ServerChild& child_;
    int timeoutMs_;
    long nextId_ = 1;
};

struct CallResult {
    LatencySummary latency;
    std::string error;    // the first failure seen; the cell then shows it
    std::string warning;  // what the check found wrong with the payload

    static CallResult failed(std::string error) {
        CallResult out;
        out.error = std::move(error);
        return out;
    }
};

// Warm-up calls, then `repeat` timed ones; stops at the first failure.
CallResult measureCall(RpcDriver& driver, const ToolCall& toolCall, int warmup, int repeat);

// Milliseconds from spawning the server to reading its "initialize" reply.
CallOutcome timeSpawnToInitialize(const std::string& binary, const std::string& vault, int timeoutMs);

}  // namespace qs::Bench
