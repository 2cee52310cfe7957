// The floor every index-reading call is compared with: read the file, walk it once with simdjson.
#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::string

#include <simdjson.h>

namespace qs::Bench {

// Keeps its file buffer and parser across runs, so a run costs the read and
// the walk, not fresh page faults: the same conditions a careful server has.
class FloorReader {
public:
    // Reads Dashboard.json afresh and touches every field a feed item needs
    // (strings unescaped). Returns the number of items walked.
    // Throws std::runtime_error on an unreadable or malformed file.
    std::size_t walkDashboard(const std::string& path);
    // Reads a JSON file afresh and parses it whole into simdjson's DOM, as a
    // reader that needs every value does. Returns the file size.
    // Throws std::runtime_error.
    std::size_t parseWhole(const std::string& path);
    // Sum of the lengths of the texts touched by the last walk, so the
    // compiler cannot drop the work.
    std::size_t checksum() const { return checksum_; }

private:
    std::size_t load(const std::string& path);

    simdjson::padded_string buffer_;
    simdjson::ondemand::parser parser_;
    simdjson::dom::parser domParser_;
    std::size_t checksum_ = 0;
};

}  // namespace qs::Bench
