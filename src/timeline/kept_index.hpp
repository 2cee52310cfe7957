// The index kept from one call to the next, used again only while its file
// is proven unchanged.
#pragma once

#include <cstdint>   // int64_t
#include <memory>    // std::unique_ptr
#include <optional>  // std::optional
#include <vector>    // std::vector

#include "platform/expected.hpp"
#include "platform/file_system.hpp"
#include "timeline/dashboard_index.hpp"
#include "timeline/index_arena.hpp"
#include "timeline/result_order.hpp"
#include "vault/vault.hpp"

namespace qs {

// Why a kept index can be trusted: it is used again only when the file's
// device, inode, size, modification and change times (in nanoseconds) are
// all as they were when it was read. A file rewritten within the same tick
// of a coarse clock could keep every one of them; so a file modified within
// kRacyWindow of the moment it was read is never trusted, and is read again
// until its last change lies safely before a read. (Git treats its index the
// same way.) A writer that changes the file afterwards must move one of the
// five: a new inode (an atomic replace), a new size, or times past the window.
class KeptIndex {
public:
    // More than the timestamp granularity of any file system a vault lives on.
    static constexpr int64_t kRacyWindowNs = 2'000'000'000;

    // The vault's index, valid until the next call on this object.
    Expected<const DashboardIndex*, IndexUnreadable> get(const Vault& vault);

    // The window's page of the items `filter` keeps, with the index they
    // belong to (for its size). A fresh read applies the filter while it
    // reads; a kept index is searched in its result order, built on its
    // first search, which stops once the page is full.
    struct Found {
        const DashboardIndex* index;
        ResultPage page;
    };
    Expected<Found, IndexUnreadable> search(
        const Vault& vault, const DashboardIndex::SearchFilter& filter, ResultWindow window);

    KeptIndex() = default;
    // Its indexes hand their arenas back to it.
    KeptIndex(const KeptIndex&) = delete;
    KeptIndex& operator=(const KeptIndex&) = delete;

    // Hands all of it back, the arena kept for the next read too: the next
    // call reads the file again.
    void release();

private:
    // Whether the index held may answer this call.
    bool reusable(const Vault& vault, const std::string& path) const;
    // Reads afresh; what was read answers this call, and the next ones too
    // when its stamp allows.
    Expected<const DashboardIndex*, IndexUnreadable> read(
        const Vault& vault, const std::string& path, const DashboardIndex::SearchFilter* filter);

    // Drops the index; its arena stays for the next read.
    void drop();

    IndexArenaPool arenas_;  // before index_, which hands its arena back to it
    std::optional<DashboardIndex> index_;
    bool trusted_ = false;  // index_ may be used again while the file's stamp is stamp_
    Platform::FileStamp stamp_;
    std::unique_ptr<ResultOrder> order_;
};

}  // namespace qs
