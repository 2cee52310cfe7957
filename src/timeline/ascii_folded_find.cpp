// A first-and-last-byte filter over blocks of the text, with A-Z folded into
// a-z by one OR, then a byte-by-byte check of the rare candidates.
#include "timeline/ascii_folded_find.hpp"

#include <algorithm>  // std::any_of
#include <cstring>    // std::memcpy

namespace qs {
namespace {

constexpr size_t kBlock = 16;
// A compiler vector: plain SIMD on every target, no intrinsics to port.
using Block = unsigned char __attribute__((vector_size(kBlock)));

Block load(const char* p) {
    Block b;
    std::memcpy(&b, p, kBlock);
    return b;
}

Block splat(unsigned char c) {
    Block b = {};
    return b + c;
}

bool anySet(Block b, unsigned char bits) {
    Block masked = b & splat(bits);
    unsigned long long halves[2];
    std::memcpy(halves, &masked, kBlock);
    return (halves[0] | halves[1]) != 0;
}

bool isLowerLetter(unsigned char c) { return c >= 'a' && c <= 'z'; }

// ORing 0x20 into a text byte turns A-Z into a-z; for a query byte a-z that
// is the only other byte it can turn into that letter.
unsigned char foldBit(unsigned char queryByte) { return isLowerLetter(queryByte) ? 0x20 : 0; }

unsigned char lowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

bool highBitIn(const char* begin, const char* end) {
    return std::any_of(begin, end, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

AsciiFoldedFinder::AsciiFoldedFinder(std::string_view query) : query_(query) {}

bool AsciiFoldedFinder::matchesAt(const char* start) const {
    for (size_t k = 0; k < query_.size(); ++k) {
        if (lowerAscii(static_cast<unsigned char>(start[k])) != static_cast<unsigned char>(query_[k])) return false;
    }
    return true;
}

bool AsciiFoldedFinder::foundIn(std::string_view text, bool& nonAscii) const {
    const size_t n = query_.size();
    const char* t = text.data();
    if (text.size() < n) {
        nonAscii = highBitIn(t, t + text.size());
        return false;
    }
    const size_t starts = text.size() - n + 1;
    const auto q0 = static_cast<unsigned char>(query_.front());
    const auto qn = static_cast<unsigned char>(query_.back());
    const Block first = splat(q0), firstFold = splat(foldBit(q0));
    const Block last = splat(qn), lastFold = splat(foldBit(qn));
    Block seen = {};
    size_t i = 0;
    for (; i + kBlock <= starts; i += kBlock) {
        Block a = load(t + i);
        Block b = load(t + i + n - 1);
        seen |= a;
        Block hit = reinterpret_cast<Block>(((a | firstFold) == first) & ((b | lastFold) == last));
        if (!anySet(hit, 0xFF)) continue;
        for (size_t j = 0; j < kBlock; ++j) {
            if (hit[j] && matchesAt(t + i + j)) return true;
        }
    }
    // The blocks' first loads saw every byte before this point.
    const size_t blockEnd = i;
    for (; i < starts; ++i) {
        if (matchesAt(t + i)) return true;
    }
    nonAscii = anySet(seen, 0x80) || highBitIn(t + blockEnd, t + text.size());
    return false;
}

}  // namespace qs
