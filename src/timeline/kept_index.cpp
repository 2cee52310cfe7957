// Reusing the parsed index while its file stays the same.
#include "timeline/kept_index.hpp"

#include <utility>  // std::move

namespace qs {

bool KeptIndex::reusable(const Vault& vault, const std::string& path) const {
    if (!index_ || !trusted_) return false;
    auto now = vault.fs().stampOf(path, /*folder=*/false);
    return now && *now == stamp_;
}

Expected<const DashboardIndex*, VaultError> KeptIndex::read(
    const Vault& vault, const std::string& path, const DashboardIndex::SearchFilter* filter) {
    // Dropped first, so the read reuses its memory instead of doubling it.
    drop();
    const int64_t readAt = vault.fs().wallClockNs();
    const auto before = vault.fs().stampOf(path, /*folder=*/false);
    IndexLoad load = filter ? DashboardIndex::load(vault, *filter, &arenas_) : DashboardIndex::load(vault, &arenas_);
    if (!load) return load.error();
    const auto after = vault.fs().stampOf(path, /*folder=*/false);
    // Trusted only when nothing moved during the read and its last change
    // lies before the racy window; otherwise the next call reads again.
    trusted_ = Platform::FileStamp::settled(before, after, readAt);
    if (trusted_) stamp_ = *before;
    index_ = std::move(*load);
    return &*index_;
}

Expected<const DashboardIndex*, VaultError> KeptIndex::get(const Vault& vault) {
    const std::string path = vault.path(VaultPath::dashboard);
    if (reusable(vault, path)) return &*index_;
    return read(vault, path, nullptr);
}

Expected<KeptIndex::Found, VaultError> KeptIndex::search(
    const Vault& vault, const DashboardIndex::SearchFilter& filter, ResultWindow window) {
    const std::string path = vault.path(VaultPath::dashboard);
    if (reusable(vault, path)) {
        if (!order_) order_ = std::make_unique<ResultOrder>(index_->items);
        return Found{&*index_, index_->search(filter, window, *order_)};
    }
    auto fresh = read(vault, path, &filter);
    if (!fresh) return fresh.error();
    return Found{*fresh, (*fresh)->found(window)};
}

void KeptIndex::drop() {
    order_.reset();
    index_.reset();
    trusted_ = false;
}

void KeptIndex::release() {
    drop();
    arenas_.clear();
}

}  // namespace qs
