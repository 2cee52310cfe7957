// A two-byte filter over blocks of the text (the query's last byte and an
// earlier one, usually its first), with A-Z folded into a-z by one OR, then a
// byte-by-byte check of the rare candidates.
#include "text/ascii_folded_find.hpp"

#include <algorithm>  // std::any_of, std::min
#include <bit>        // std::bit_cast
#include <cstring>    // std::memcpy

namespace qs::Text {
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
    Block b;
    for (size_t i = 0; i < kBlock; ++i) b[i] = c;
    return b;
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

bool anyIn(const char* begin, const char* end, AsciiFoldedFinder::ByteRange range) {
    return std::any_of(begin, end, [range](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte >= range.low && byte <= range.high;
    });
}

}  // namespace

AsciiFoldedFinder::AsciiFoldedFinder(std::string_view query) : query_(query) {
    // The lead byte of a Chinese character is one of a handful shared by most
    // of a Chinese text, so it lets nearly every block through; the last byte
    // of the character varies like its last six bits. Filter on that instead.
    auto lead = static_cast<unsigned char>(query.front());
    if (lead >= 0x80 && query.size() >= 2) {
        size_t end = 1;
        while (end < query.size() && (static_cast<unsigned char>(query[end]) & 0xC0) == 0x80) ++end;
        anchor_ = std::min(end - 1, query.size() - 2);
    }
}

bool AsciiFoldedFinder::matchesAt(const char* start) const {
    for (size_t k = 0; k < query_.size(); ++k) {
        if (lowerAscii(static_cast<unsigned char>(start[k])) != static_cast<unsigned char>(query_[k])) return false;
    }
    return true;
}

bool AsciiFoldedFinder::foundIn(std::string_view text, const ByteRange* watched, bool* watchedSeen) const {
    const size_t n = query_.size();
    const char* t = text.data();
    if (text.size() < n) {
        if (watched) *watchedSeen = anyIn(t, t + text.size(), *watched);
        return false;
    }
    const size_t starts = text.size() - n + 1;
    const auto q0 = static_cast<unsigned char>(query_.front());
    if (starts >= kBlock) {
        // Watching needs the first loads to start at the text's first byte.
        const size_t p = watched ? 0 : anchor_;
        const auto qp = static_cast<unsigned char>(query_[p]);
        const auto qn = static_cast<unsigned char>(query_.back());
        const Block first = splat(qp), firstFold = splat(foldBit(qp));
        const Block last = splat(qn), lastFold = splat(foldBit(qn));
        // A byte is in the watched range when its distance above `low`, as
        // an unsigned byte, is at most the range's width.
        const Block low = splat(watched ? watched->low : 0);
        const Block width = splat(watched ? static_cast<unsigned char>(watched->high - watched->low) : 0);
        Block seen = {};
        size_t i = 0;
        // Marks the starts in the block at `at` whose anchor and last bytes match.
        auto candidates = [&](size_t at) {
            Block a = load(t + at + p);
            Block b = load(t + at + n - 1);
            if (watched) seen |= std::bit_cast<Block>(((a - low) <= width) | ((b - low) <= width));
            // A comparison gives a vector of signed lanes, all bits set where equal.
            return std::bit_cast<Block>(((a | firstFold) == first) & ((b | lastFold) == last));
        };
        auto confirm = [&](size_t at, Block hit) {
            for (size_t j = 0; j < kBlock; ++j) {
                if (hit[j] && matchesAt(t + at + j)) return true;
            }
            return false;
        };
        // Four blocks per test: candidates are rare, the branch is not.
        for (; i + 4 * kBlock <= starts; i += 4 * kBlock) {
            Block h0 = candidates(i), h1 = candidates(i + kBlock);
            Block h2 = candidates(i + 2 * kBlock), h3 = candidates(i + 3 * kBlock);
            if (!anySet(h0 | h1 | h2 | h3, 0xFF)) continue;
            if (confirm(i, h0) || confirm(i + kBlock, h1) || confirm(i + 2 * kBlock, h2) ||
                confirm(i + 3 * kBlock, h3)) {
                return true;
            }
        }
        for (; i + kBlock <= starts; i += kBlock) {
            Block hit = candidates(i);
            if (anySet(hit, 0xFF) && confirm(i, hit)) return true;
        }
        if (i < starts) {
            // The last starts in one block that overlaps the previous one;
            // its second load reaches the text's last byte.
            i = starts - kBlock;
            Block hit = candidates(i);
            if (anySet(hit, 0xFF) && confirm(i, hit)) return true;
        }
        // The loads covered the text but for the bytes between the last start
        // and the query's length, which only a long query leaves.
        if (watched) *watchedSeen = anySet(seen, 0xFF) || (n - 1 > starts && anyIn(t + starts, t + n - 1, *watched));
        return false;
    }
    for (size_t i = 0; i < starts; ++i) {
        if (lowerAscii(static_cast<unsigned char>(t[i])) == q0 && matchesAt(t + i)) return true;
    }
    if (watched) *watchedSeen = anyIn(t, t + text.size(), *watched);
    return false;
}

}  // namespace qs::Text
