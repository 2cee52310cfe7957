// Loading Dashboard.json, finding an entry, and the ordered filtered listing.
#include "timeline/dashboard_index.hpp"

#include <algorithm>   // std::sort, std::partial_sort
#include <filesystem>  // std::filesystem::file_size
#include <functional>  // std::less
#include <utility>     // std::move

#include "timeline/dashboard_reader.hpp"
#include "timeline/index_arena.hpp"
#include "timeline/item_filter.hpp"
#include "timeline/json_encoding.hpp"
#include "timeline/trigram_slices.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

// Latest day first, then greatest id, the first max(limit, 1) of them.
std::vector<const FeedItem*> ordered(std::vector<const FeedItem*> kept, int64_t limit) {
    // Ties keep index order, which is the items' address order. With that
    // last key the order is total, so a partial sort of the first `limit`
    // equals a stable sort cut short.
    auto before = [](const FeedItem* a, const FeedItem* b) {
        if (a->day != b->day) return a->day > b->day;
        if (a->id != b->id) return a->id > b->id;
        return std::less<const FeedItem*>()(a, b);
    };
    auto wanted = static_cast<size_t>(std::max<int64_t>(limit, 1));
    if (wanted < kept.size()) {
        std::partial_sort(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(wanted), kept.end(), before);
        kept.resize(wanted);
    } else {
        std::sort(kept.begin(), kept.end(), before);
    }
    return kept;
}

}  // namespace

void IndexArenaRelease::operator()(IndexArena* arena) const {
    std::unique_ptr<IndexArena> owned(arena);
    if (pool) pool->release(std::move(owned));
}

DashboardIndex::DashboardIndex(std::unique_ptr<IndexArena, IndexArenaRelease> arena) : arena_(std::move(arena)) {}

DashboardIndex::DashboardIndex(DashboardIndex&&) noexcept = default;

DashboardIndex& DashboardIndex::operator=(DashboardIndex&& other) noexcept {
    if (this != &other) {
        if (arena_) arena_->items = std::move(items);
        arena_ = std::move(other.arena_);
        items = std::move(other.items);
        updatedAt = std::move(other.updatedAt);
        picked_ = std::move(other.picked_);
    }
    return *this;
}

DashboardIndex::~DashboardIndex() {
    // The item vector goes back with the arena, so the next load reuses its memory.
    if (arena_) arena_->items = std::move(items);
}

bool DashboardIndex::fill(const SearchFilter* filter) {
    IndexArena& arena = *arena_;
    items = std::move(arena.items);
    std::string* text = &arena.fileBytes;
    DetectedEncoding detected = detectJsonEncoding(arena.fileBytes);
    size_t start = detected.bomLength;
    if (detected.encoding != JsonEncoding::utf8) {
        std::string_view raw = std::string_view(arena.fileBytes).substr(detected.bomLength);
        if (!convertToUtf8(raw, detected.encoding, arena.converted, simdjson::SIMDJSON_PADDING)) return false;
        text = &arena.converted;
        start = 0;
    }
    size_t length = text->size() - start;
    // simdjson reads a little past the end; zeroed padding keeps that defined.
    if (text->capacity() < text->size() + simdjson::SIMDJSON_PADDING) text->reserve(text->size() + text->size() / 8 + simdjson::SIMDJSON_PADDING);
    text->append(simdjson::SIMDJSON_PADDING, '\0');
    std::optional<ItemFilter> itemFilter;
    if (filter) itemFilter.emplace(*filter);
    return readDashboard(arena, text->data() + start, length, text->size() - start, items, updatedAt,
                         itemFilter ? &*itemFilter : nullptr, picked_);
}

IndexLoad DashboardIndex::load(const Vault& vault, IndexArenaPool* arenas) { return loadFiltered(vault, nullptr, arenas); }

IndexLoad DashboardIndex::load(const Vault& vault, const SearchFilter& filter, IndexArenaPool* arenas) {
    return loadFiltered(vault, &filter, arenas);
}

IndexLoad DashboardIndex::loadFiltered(const Vault& vault, const SearchFilter* filter, IndexArenaPool* arenas) {
    std::string path = vault.path(VaultPath::dashboard);
    DashboardIndex index(std::unique_ptr<IndexArena, IndexArenaRelease>(
        (arenas ? arenas->acquire() : std::make_unique<IndexArena>()).release(), IndexArenaRelease{arenas}));
    std::string& bytes = index.arena_->fileBytes;
    // Sized before reading, with room for simdjson's padding, the buffer is
    // never grown (and copied, two copies alive at once) after it. The size
    // is only a hint: the read itself copes with any change.
    std::error_code ignored;
    uintmax_t hint = std::filesystem::file_size(path, ignored);
    if (!ignored && bytes.capacity() < hint + simdjson::SIMDJSON_PADDING + 1) {
        std::string().swap(bytes);
        bytes.reserve(static_cast<size_t>(hint + hint / 16 + simdjson::SIMDJSON_PADDING + 1));
    }
    if (!VaultIO::readInto(vault, path, bytes, VaultIO::kIndexReadLimit) || !index.fill(filter)) {
        return IndexUnreadable{std::move(path)};
    }
    return index;
}

std::optional<DashboardIndex> DashboardIndex::parse(std::string_view bytes) { return parseFiltered(bytes, nullptr); }

std::optional<DashboardIndex> DashboardIndex::parse(std::string_view bytes, const SearchFilter& filter) {
    return parseFiltered(bytes, &filter);
}

std::optional<DashboardIndex> DashboardIndex::parseFiltered(std::string_view bytes, const SearchFilter* filter) {
    DashboardIndex index(std::unique_ptr<IndexArena, IndexArenaRelease>(std::make_unique<IndexArena>().release()));
    index.arena_->fileBytes.assign(bytes);
    if (!index.fill(filter)) return std::nullopt;
    return index;
}

const FeedItem* DashboardIndex::item(std::string_view id) const {
    for (const FeedItem& candidate : items) {
        if (candidate.id == id) return &candidate;
    }
    return nullptr;
}

std::vector<const FeedItem*> DashboardIndex::search(const std::optional<std::string>& query,
                                                    const std::optional<std::string>& type,
                                                    const std::optional<std::string>& dateFrom,
                                                    const std::optional<std::string>& dateTo, int64_t limit) const {
    ItemFilter filter(SearchFilter{query, type, dateFrom, dateTo});
    std::vector<const FeedItem*> kept;
    for (const FeedItem& candidate : items) {
        if (filter.keeps(candidate)) kept.push_back(&candidate);
    }
    return ordered(std::move(kept), limit);
}

std::vector<const FeedItem*> DashboardIndex::search(const SearchFilter& filter, int64_t limit,
                                                    const TrigramSlices& slices) const {
    ItemFilter itemFilter(filter);
    auto candidates = itemFilter.lowerQuery().empty() ? std::nullopt : slices.candidates(itemFilter.lowerQuery());
    if (!candidates) return search(filter.query, filter.type, filter.dateFrom, filter.dateTo, limit);
    std::vector<const FeedItem*> kept;
    for (size_t position : *candidates) {
        if (itemFilter.keeps(items[position])) kept.push_back(&items[position]);
    }
    return ordered(std::move(kept), limit);
}

std::vector<const FeedItem*> DashboardIndex::found(int64_t limit) const {
    std::vector<const FeedItem*> kept;
    kept.reserve(picked_.size());
    for (size_t position : picked_) kept.push_back(&items[position]);
    return ordered(std::move(kept), limit);
}

}  // namespace qs
