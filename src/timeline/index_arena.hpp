// The memory an index load works in, handed from one load to the next.
#pragma once

#include <simdjson.h>

#include <memory>  // std::unique_ptr
#include <string>  // std::string
#include <vector>  // std::vector

#include "timeline/feed_item.hpp"
#include "timeline/view_pool.hpp"

namespace qs {

// Reuse of memory, not a cache of content: every load reads the file again.
// Big buffers allocated afresh per call would cost more in page faults than
// the whole parse, so they stay with the arena. The texts of the loaded items
// point into `fileBytes` or `converted`.
struct IndexArena {
    std::string fileBytes;  // the file as read; unescaped texts are written back into it
    std::string converted;  // the UTF-8 form of a UTF-16/32 file
    std::string scratch;    // one string unescaped at a time
    simdjson::ondemand::parser parser;
    ViewPool lists;
    std::vector<FeedItem> items;  // spare capacity between loads
};

// The arena of the last index, kept for the next load with its buffers still
// sized. Whoever keeps indexes owns one; it must outlive every index it lent
// an arena to.
class IndexArenaPool {
public:
    // The parked arena if there is one, else a new one. Never null.
    std::unique_ptr<IndexArena> acquire();
    // Parks the arena for the next load (one is kept; any other is freed).
    void release(std::unique_ptr<IndexArena> arena);
    // Frees the parked arena, for a server left idle.
    void clear() { parked_.reset(); }

private:
    std::unique_ptr<IndexArena> parked_;
};

}  // namespace qs
