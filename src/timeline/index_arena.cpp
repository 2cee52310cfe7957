// The arena kept for the next index load.
#include "timeline/index_arena.hpp"

#include <utility>  // std::move

namespace qs {

std::unique_ptr<IndexArena> IndexArenaPool::acquire() {
    if (parked_) return std::move(parked_);
    return std::make_unique<IndexArena>();
}

void IndexArenaPool::release(std::unique_ptr<IndexArena> arena) {
    if (!arena) return;
    arena->lists.clear();
    arena->items.clear();
    // Two indexes alive at once each had their own arena; keeping one is enough.
    if (!parked_) parked_ = std::move(arena);
}

}  // namespace qs
