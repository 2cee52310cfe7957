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

// A kept index is used again only while its file's stamp (device, inode,
// size, modification and change times) is as it was when it was read, and
// only once the read lies past the racy window (FileStamp::settled).
class KeptIndex {
public:
    // The vault's index, valid until the next call on this object.
    Expected<const DashboardIndex*, VaultError> get(const Vault& vault);

    // The window's page of the items `filter` keeps, with the index they
    // belong to (for its size). A fresh read applies the filter while it
    // reads; a kept index is searched in its result order, built on its
    // first search, which stops once the page is full.
    struct Found {
        const DashboardIndex* index;
        ResultPage page;
    };
    Expected<Found, VaultError> search(
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
    [[nodiscard]] bool reusable(const Vault& vault, const std::string& path) const;
    // Reads afresh; what was read answers this call, and the next ones too
    // when its stamp allows.
    Expected<const DashboardIndex*, VaultError> read(
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
