// The one parked index arena.
#include "timeline/index_arena.hpp"

#include <mutex>  // std::mutex, std::lock_guard

namespace qs {
namespace {

std::mutex parkedLock;
std::unique_ptr<IndexArena> parked;

}  // namespace

std::unique_ptr<IndexArena> acquireIndexArena() {
    {
        std::lock_guard<std::mutex> guard(parkedLock);
        if (parked) return std::move(parked);
    }
    return std::make_unique<IndexArena>();
}

void releaseIndexArena(std::unique_ptr<IndexArena> arena) {
    if (!arena) return;
    arena->lists.clear();
    arena->items.clear();
    std::lock_guard<std::mutex> guard(parkedLock);
    // Two indexes alive at once each had their own arena; keeping one is enough.
    if (!parked) parked = std::move(arena);
}

void releaseIndexArenas() {
    std::lock_guard<std::mutex> guard(parkedLock);
    parked.reset();
}

}  // namespace qs
