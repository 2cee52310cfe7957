// The read-only view of Dashboard.json, loaded afresh by every call.
#pragma once

#include <cstdint>      // int64_t
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "timeline/feed_item.hpp"
#include "vault/vault.hpp"

namespace qs {

struct IndexArena;
struct IndexArenaRelease {
    void operator()(IndexArena* arena) const;
};

// Owns the bytes its items' texts point into: the items (and pointers to
// them) are valid while the index lives. Movable, not copyable.
class DashboardIndex {
public:
    std::vector<FeedItem> items;
    std::optional<std::string> updatedAt;

    // Reads and parses the vault's index; throws ToolFailure with the one
    // "读不到 Dashboard.json(...)" message.
    static DashboardIndex load(const Vault& vault);

    // Parses index bytes (any Unicode encoding a JSON reader detects);
    // nothing when not JSON or not an object at the top level.
    static std::optional<DashboardIndex> parse(std::string_view bytes);

    // The first item with exactly this id.
    const FeedItem* item(std::string_view id) const;

    // Filtered (type, day range, lower-cased query), ordered (day desc, id
    // desc, stable), capped at max(limit, 1). Empty texts count as absent.
    std::vector<const FeedItem*> search(const std::optional<std::string>& query,
                                        const std::optional<std::string>& type,
                                        const std::optional<std::string>& dateFrom,
                                        const std::optional<std::string>& dateTo,
                                        int64_t limit) const;

    DashboardIndex(DashboardIndex&&) noexcept;
    DashboardIndex& operator=(DashboardIndex&&) noexcept;
    ~DashboardIndex();

private:
    explicit DashboardIndex(std::unique_ptr<IndexArena, IndexArenaRelease> arena);
    // Parses the arena's file bytes into items; false when they are no index.
    bool fill();

    std::unique_ptr<IndexArena, IndexArenaRelease> arena_;
};

}  // namespace qs
