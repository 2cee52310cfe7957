// Arbitrary bytes as the vocabulary book: the reader must never fail.
#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <string_view>  // std::string_view

#include "vocab/vocab_book.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)qs::VocabBook::decode(std::string_view(reinterpret_cast<const char*>(data), size), 0);
    return 0;
}
