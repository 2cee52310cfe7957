// Formats measured sizes as the Markdown table users read in issues and pull requests.
#include "bench_table.hpp"

#include <cstdio>  // std::snprintf

namespace qs::Bench {
namespace {

std::string fixed(double value, const char* format) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::string withThousands(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string escapeCell(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '|') out += '\\';
        out += c == '\n' ? ' ' : c;
    }
    return out;
}

std::string callCell(const ToolCall& toolCall, const CallResult& result, const SizeReport& row) {
    if (!result.error.empty()) return "error";
    std::string cell = formatMs(result.latency.median) + " / " + formatMs(result.latency.p95);
    std::optional<double> floor = toolCall.floor == FloorKind::dashboard    ? row.floorMs
                                  : toolCall.floor == FloorKind::vocabulary ? row.vocabFloorMs
                                                                            : std::nullopt;
    if (floor && *floor > 0) cell += " (" + fixed(result.latency.median / *floor, "%.2f") + "×)";
    if (!result.warning.empty()) cell += " ⚠";
    return cell;
}

std::string optionalMs(const std::optional<double>& ms) { return ms ? formatMs(*ms) : "error"; }

}  // namespace

std::string markdownTable(const std::vector<ToolCall>& toolCalls, const std::vector<SizeReport>& rows) {
    // Cells are appended piece by piece: GCC 12 at -O2 reports a bogus
    // -Wstringop-overflow for chains of string temporaries here.
    auto cell = [](std::string& line, const std::string& text) {
        line += ' ';
        line += text;
        line += " |";
    };
    std::string header = "| entries | index MiB | floor ms |";
    std::string rule = "|---:|---:|---:|";
    for (const auto& toolCall : toolCalls) {
        if (toolCall.floor == FloorKind::vocabulary) {
            // The vocabulary floor sits right before the call it scales.
            cell(header, "vocab floor ms");
            rule += "---:|";
        }
        cell(header, toolCall.label);
        rule += "---:|";
    }
    header += " peak RSS MiB | RSS/index | spawn→init ms |";
    rule += "---:|---:|---:|";

    std::string out = header + "\n" + rule + "\n";
    for (const auto& row : rows) {
        std::string line = "|";
        cell(line, withThousands(row.entries));
        cell(line, fixed(row.indexMB, "%.1f"));
        cell(line, optionalMs(row.floorMs));
        for (std::size_t i = 0; i < toolCalls.size(); ++i) {
            if (toolCalls[i].floor == FloorKind::vocabulary) cell(line, optionalMs(row.vocabFloorMs));
            cell(line, i < row.results.size() ? callCell(toolCalls[i], row.results[i], row) : std::string("error"));
        }
        cell(line, row.peakRssMB ? fixed(*row.peakRssMB, "%.1f") : std::string("error"));
        cell(line, row.peakRssMB && row.indexMB > 0 ? fixed(*row.peakRssMB / row.indexMB, "%.2f") : std::string("–"));
        cell(line, optionalMs(row.spawnMs));
        out += line;
        out += '\n';
    }
    return out;
}

std::string reportNotes(const std::vector<ToolCall>& toolCalls, const std::vector<SizeReport>& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < toolCalls.size() && i < row.results.size(); ++i) {
            if (!row.results[i].error.empty()) {
                out += "- " + withThousands(row.entries) + " entries, " + toolCalls[i].label + ": " +
                       escapeCell(row.results[i].error) + "\n";
            } else if (!row.results[i].warning.empty()) {
                out += "- " + withThousands(row.entries) + " entries, " + toolCalls[i].label + " ⚠ unexpected reply: " +
                       escapeCell(row.results[i].warning) + "\n";
            }
        }
        for (const auto& problem : row.problems) {
            out += "- " + withThousands(row.entries) + " entries: " + escapeCell(problem) + "\n";
        }
    }
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const SizeReport& a = rows[r - 1];
        const SizeReport& b = rows[r];
        if (a.entries == 0) continue;
        std::string line = "- " + withThousands(a.entries) + " → " + withThousands(b.entries) + " entries (×" +
                           fixed(static_cast<double>(b.entries) / static_cast<double>(a.entries), "%.0f") +
                           "), median grows:";
        bool any = false;
        for (std::size_t i = 0; i < toolCalls.size() && i < a.results.size() && i < b.results.size(); ++i) {
            if (!a.results[i].error.empty() || !b.results[i].error.empty() || a.results[i].latency.median <= 0) continue;
            line += std::string(any ? "," : "") + " " + toolCalls[i].label + " ×" +
                    fixed(b.results[i].latency.median / a.results[i].latency.median, "%.1f");
            any = true;
        }
        if (any) out += line + "\n";
    }
    return out;
}

}  // namespace qs::Bench
