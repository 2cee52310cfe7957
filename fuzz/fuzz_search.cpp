// Case-insensitive search, differentially: the needle's shortcuts must agree
// with lower-casing the whole text. Input: query bytes, a NUL, text bytes.
#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <cstdio>       // std::fprintf
#include <cstdlib>      // std::abort
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "text/lowercase_search.hpp"
#include "text/unicode.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    size_t split = bytes.find('\0');
    if (split == std::string_view::npos) return 0;
    // Queries and index texts always arrive as well-formed UTF-8.
    std::string query = qs::Text::toLowerFull(qs::Text::decodeLossy(bytes.substr(0, split)));
    std::string text = qs::Text::decodeLossy(bytes.substr(split + 1));
    if (query.empty()) return 0;
    bool expected = qs::Text::toLowerFull(text).find(query) != std::string::npos;
    if (qs::Text::LowercaseNeedle(query).foundIn(text) != expected) {
        std::fprintf(stderr, "needle disagrees (expected %d) for query [%s] in text [%s]\n", expected, query.c_str(),
            text.c_str());
        std::abort();
    }
    return 0;
}
