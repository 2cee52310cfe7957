// Substring search that counts A-Z in the text as a-z, sixteen bytes at a time.
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // std::string_view

namespace qs {

// Equivalent to lowering the text's ASCII letters and searching it for the
// query, without writing the lowered copy: the search runs over every text of
// the index, so one pass that touches each byte once is what it costs.
class AsciiFoldedFinder {
public:
    // Keeps a view of `query`, which must not be empty and must hold no A-Z
    // (the lowered text holds none, so such a query is found nowhere).
    explicit AsciiFoldedFinder(std::string_view query);

    // True when the text, A-Z lowered, contains the query. When it returns
    // false and `nonAscii` is given, that tells whether the text holds any
    // byte above 0x7F.
    bool foundIn(std::string_view text, bool* nonAscii = nullptr) const;

private:
    bool matchesAt(const char* start) const;

    std::string_view query_;
};

}  // namespace qs
