// The read-only view of Dashboard.json: its items, found by id or listed.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // int64_t
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/expected.hpp"
#include "timeline/feed_item.hpp"
#include "timeline/result_page.hpp"
#include "vault/vault.hpp"
#include "vault/vault_error.hpp"

namespace qs {

struct IndexArena;
class IndexArenaPool;
struct IndexArenaRelease {
    IndexArenaPool* pool = nullptr;  // where the arena goes back; freed when none
    void operator()(IndexArena* arena) const;
};

class ResultOrder;

// The index, or why there is none: the file is absent, unreadable (still in
// iCloud, outside the vault, ...) or not an index. The caller words the message.
class DashboardIndex;
using IndexLoad = Expected<DashboardIndex, VaultError>;

// Owns the bytes its items' texts point into: the items (and pointers to
// them) are valid while the index lives. Movable, not copyable.
class DashboardIndex {
public:
    // What a search keeps: each text counts as absent when absent or empty.
    struct SearchFilter {
        std::optional<std::string> query;  // as given; lower-cased by the search
        std::optional<std::string> type;
        std::optional<std::string> dateFrom;
        std::optional<std::string> dateTo;
    };

    std::vector<FeedItem> items;
    std::optional<std::string> updatedAt;

    // Reads and parses the vault's index, in an arena from `arenas` (which
    // gets it back when the index goes) or, without one, a fresh arena.
    static IndexLoad load(const Vault& vault, IndexArenaPool* arenas = nullptr);

    // As load, also testing each item against `filter` as soon as it is read,
    // while its texts are still in the cache (a text search over the whole
    // index, run afterwards, would fetch them all from memory again).
    // `found` then gives what `search` gives with the same filter.
    static IndexLoad load(const Vault& vault, const SearchFilter& filter, IndexArenaPool* arenas = nullptr);

    // Parses index bytes (any Unicode encoding a JSON reader detects);
    // nothing when not JSON or not an object at the top level.
    static std::optional<DashboardIndex> parse(std::string_view bytes);
    static std::optional<DashboardIndex> parse(std::string_view bytes, const SearchFilter& filter);

    // The first item with exactly this id.
    [[nodiscard]] const FeedItem* item(std::string_view id) const;

    // Filtered (type, day range, lower-cased query), ordered (day desc, id
    // desc, stable), the window's page of it. Empty texts count as absent.
    [[nodiscard]] ResultPage search(const SearchFilter& filter, ResultWindow window) const;

    // The same page, found by walking `order` (built from these items) from
    // the first day the filter allows: only the candidates its slices name
    // for the query are tested, and the walk stops once the page is full.
    [[nodiscard]] ResultPage search(const SearchFilter& filter, ResultWindow window, const ResultOrder& order) const;

    // The items that passed the filter given to load or parse, the page
    // `search` gives; empty when no filter was given.
    [[nodiscard]] ResultPage found(ResultWindow window) const;

    DashboardIndex(DashboardIndex&&) noexcept;
    DashboardIndex& operator=(DashboardIndex&&) noexcept;
    ~DashboardIndex();

private:
    explicit DashboardIndex(std::unique_ptr<IndexArena, IndexArenaRelease> arena);
    static IndexLoad loadFiltered(const Vault& vault, const SearchFilter* filter, IndexArenaPool* arenas);
    static std::optional<DashboardIndex> parseFiltered(std::string_view bytes, const SearchFilter* filter);
    // Parses the arena's file bytes into items, picking those `filter` keeps;
    // false when the bytes are no index.
    bool fill(const SearchFilter* filter);

    std::unique_ptr<IndexArena, IndexArenaRelease> arena_;
    std::vector<size_t> picked_;  // positions in `items` of the items the filter kept
};

}  // namespace qs
