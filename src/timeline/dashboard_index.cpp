// Loading Dashboard.json, finding an entry, and the ordered filtered listing.
#include "timeline/dashboard_index.hpp"

#include <algorithm>   // std::partial_sort, std::partition_point, std::min
#include <bit>         // std::countr_zero
#include <functional>  // std::less
#include <utility>     // std::move

#include "text/unicode.hpp"
#include "timeline/dashboard_reader.hpp"
#include "timeline/index_arena.hpp"
#include "timeline/item_filter.hpp"
#include "timeline/json_encoding.hpp"
#include "timeline/result_order.hpp"
#include "vault/vault_io.hpp"

namespace qs {
namespace {

// Latest day first, then greatest id, the window's page of them.
ResultPage ordered(std::vector<const FeedItem*> kept, ResultWindow window) {
    // Ties keep index order, which is the items' address order. With that
    // last key the order is total, so a partial sort of the first ones
    // equals a stable sort cut short.
    auto before = [](const FeedItem* a, const FeedItem* b) {
        if (a->day != b->day) return a->day > b->day;
        if (a->id != b->id) return a->id > b->id;
        return std::less<const FeedItem*>()(a, b);
    };
    const size_t first = std::min(window.skipped(), kept.size());
    const size_t end = first + std::min(window.wanted(), kept.size() - first);
    // One past the page, to know whether more follow.
    const size_t sorted = std::min(end + 1, kept.size());
    std::partial_sort(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(sorted), kept.end(), before);
    ResultPage page;
    page.items.assign(
        kept.begin() + static_cast<std::ptrdiff_t>(first), kept.begin() + static_cast<std::ptrdiff_t>(end));
    page.more = end < kept.size();
    return page;
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
    if (text->capacity() < text->size() + simdjson::SIMDJSON_PADDING)
        text->reserve(text->size() + text->size() / 8 + simdjson::SIMDJSON_PADDING);
    text->append(simdjson::SIMDJSON_PADDING, '\0');
    std::optional<ItemFilter> itemFilter;
    if (filter) itemFilter.emplace(*filter);
    if (readDashboard(arena, text->data() + start, length, text->size() - start, items, updatedAt,
            itemFilter ? &*itemFilter : nullptr, picked_)) {
        return true;
    }
    // Bytes that are no UTF-8 cost only the characters they stand in for:
    // replaced by U+FFFD, the rest of the timeline is read. Checked only
    // after a failed read, which then failed before touching the text.
    std::string_view read(text->data() + start, length);
    if (text == &arena.converted || simdjson::validate_utf8(read.data(), read.size())) return false;
    arena.converted = Text::decodeLossy(read);
    arena.converted.append(simdjson::SIMDJSON_PADDING, '\0');
    return readDashboard(arena, arena.converted.data(), arena.converted.size() - simdjson::SIMDJSON_PADDING,
        arena.converted.size(), items, updatedAt, itemFilter ? &*itemFilter : nullptr, picked_);
}

IndexLoad DashboardIndex::load(const Vault& vault, IndexArenaPool* arenas) {
    return loadFiltered(vault, nullptr, arenas);
}

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
    const auto stamp = vault.fs().stampOf(path, /*folder=*/false);
    const uint64_t hint = stamp ? stamp->size : 0;
    if (stamp && bytes.capacity() < hint + simdjson::SIMDJSON_PADDING + 1) {
        std::string().swap(bytes);
        bytes.reserve(static_cast<size_t>(hint + hint / 16 + simdjson::SIMDJSON_PADDING + 1));
    }
    if (auto read = VaultIO::readInto(vault, path, bytes, VaultIO::kIndexReadLimit); !read) return read.error();
    if (!index.fill(filter)) {
        return VaultError{VaultError::Kind::notAnIndex, path,
            Platform::Error{Platform::Error::Kind::failed, "parse", path, 0, "not a timeline index"}};
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

ResultPage DashboardIndex::search(const SearchFilter& filter, ResultWindow window) const {
    ItemFilter itemFilter(filter);
    std::vector<const FeedItem*> kept;
    for (const FeedItem& candidate : items) {
        if (itemFilter.keeps(candidate)) kept.push_back(&candidate);
    }
    return ordered(std::move(kept), window);
}

ResultPage DashboardIndex::search(const SearchFilter& filter, ResultWindow window, const ResultOrder& order) const {
    ItemFilter itemFilter(filter);
    std::span<const uint32_t> ranked = order.ranked();
    // Days fall along the order: the walk starts at the last day allowed and
    // ends before the first day too early.
    size_t rank = 0;
    if (itemFilter.dateTo()) {
        rank = static_cast<size_t>(std::partition_point(ranked.begin(), ranked.end(), [&](uint32_t at) {
            return items[at].day > *itemFilter.dateTo();
        }) - ranked.begin());
    }
    auto candidates =
        itemFilter.lowerQuery().empty() ? std::nullopt : order.slices().candidates(itemFilter.lowerQuery());
    PageBuilder page(window);
    while (rank < ranked.size()) {
        if (candidates) {
            // The next candidate at or after `rank`.
            size_t word = rank / 64;
            uint64_t bits = (*candidates)[word] & (~uint64_t{0} << (rank % 64));
            while (!bits && ++word < candidates->size()) bits = (*candidates)[word];
            if (!bits) break;
            rank = word * 64 + static_cast<size_t>(std::countr_zero(bits));
            if (rank >= ranked.size()) break;
        }
        const FeedItem& item = items[ranked[rank++]];
        if (itemFilter.dateFrom() && item.day < *itemFilter.dateFrom()) break;
        if (itemFilter.keeps(item) && !page.add(&item)) break;
    }
    return page.take();
}

ResultPage DashboardIndex::found(ResultWindow window) const {
    std::vector<const FeedItem*> kept;
    kept.reserve(picked_.size());
    for (size_t position : picked_) kept.push_back(&items[position]);
    return ordered(std::move(kept), window);
}

}  // namespace qs
