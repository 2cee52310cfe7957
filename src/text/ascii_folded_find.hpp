// Substring search that counts A-Z in the text as a-z, sixteen bytes at a time.
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // std::string_view

namespace qs::Text {

// Equivalent to lowering the text's ASCII letters and searching it for the
// query, without writing the lowered copy: the search runs over every text of
// the index, so one pass that touches each byte once is what it costs.
class AsciiFoldedFinder {
public:
    // Keeps a view of `query`, which must not be empty and must hold no A-Z
    // (the lowered text holds none, so such a query is found nowhere).
    explicit AsciiFoldedFinder(std::string_view query);

    // Bytes from `low` to `high`, both included.
    struct ByteRange {
        unsigned char low;
        unsigned char high;
    };

    // True when the text, A-Z lowered, contains the query.
    [[nodiscard]] bool foundIn(std::string_view text) const { return foundIn(text, nullptr, nullptr); }
    // The same; when it returns false, `watchedSeen` tells whether the text
    // holds any byte in `watched`, learnt in the same pass.
    bool foundIn(std::string_view text, ByteRange watched, bool& watchedSeen) const {
        return foundIn(text, &watched, &watchedSeen);
    }

private:
    bool foundIn(std::string_view text, const ByteRange* watched, bool* watchedSeen) const;
    bool matchesAt(const char* start) const;

    std::string_view query_;
    size_t anchor_ = 0;  // the query byte tested with the last one, before it
};

}  // namespace qs::Text
