// Storage for the text lists of many feed items, reused from load to load.
#pragma once

#include <algorithm>    // std::max
#include <cstddef>      // size_t
#include <span>         // std::span
#include <string_view>  // std::string_view
#include <vector>       // std::vector

namespace qs {

// Lists are built one at a time and live in fixed chunks that never move, so
// the spans handed out stay valid however many lists follow. One allocation
// per chunk instead of one per list, and the chunks survive clear().
class ViewPool {
public:
    void clear() {
        for (auto& chunk : chunks_) chunk.clear();
        current_ = 0;
        start_ = 0;
    }

    void begin() {
        if (chunks_.empty()) chunks_.emplace_back().reserve(kChunkSize);
        start_ = chunks_[current_].size();
    }

    void push(std::string_view text) {
        std::vector<std::string_view>* chunk = &chunks_[current_];
        if (chunk->size() == chunk->capacity()) chunk = &moveListToNextChunk();
        chunk->push_back(text);
    }

    [[nodiscard]] std::span<const std::string_view> finish() const {
        const auto& chunk = chunks_[current_];
        return {chunk.data() + start_, chunk.size() - start_};
    }

private:
    static constexpr size_t kChunkSize = 8192;

    // The list being built does not fit: it moves to a fresh chunk big
    // enough to grow, and the old chunk keeps only finished lists.
    std::vector<std::string_view>& moveListToNextChunk() {
        // Growing the outer vector moves the chunks but not their elements,
        // so spans stay valid; references into it must be taken afterwards.
        if (current_ + 1 == chunks_.size()) chunks_.emplace_back();
        auto& old = chunks_[current_];
        auto& next = chunks_[++current_];
        size_t length = old.size() - start_;
        size_t wanted = std::max(kChunkSize, 2 * length + 1);
        next.clear();
        if (next.capacity() < wanted) next.reserve(wanted);
        next.insert(next.end(), old.begin() + static_cast<std::ptrdiff_t>(start_), old.end());
        old.resize(start_);
        start_ = 0;
        return next;
    }

    std::vector<std::vector<std::string_view>> chunks_;
    size_t current_ = 0;
    size_t start_ = 0;
};

}  // namespace qs
