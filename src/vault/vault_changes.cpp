// The one watch over the vault, and the queue that carries its changes to
// the index's thread.
#include "vault/vault_changes.hpp"

#include <utility>  // std::exchange

namespace qs {
namespace {

// Paths an index may hold back before it is told to sweep instead.
constexpr size_t kQueueBound = 100'000;

}  // namespace

void ChangeQueue::push(const Platform::ChangeBatch& batch) {
    if (batch.empty()) return;
    {
        std::lock_guard lock(mutex_);
        if (waiting_.overflow) return;  // a sweep is due anyway
        waiting_.merge(batch);
        if (waiting_.overflow || waiting_.changes.size() > kQueueBound) waiting_ = Platform::ChangeBatch{{}, true};
    }
    ready_.notify_all();
}

Platform::ChangeBatch ChangeQueue::take() {
    std::lock_guard lock(mutex_);
    return std::exchange(waiting_, {});
}

bool ChangeQueue::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return ready_.wait_for(lock, timeout, [&] { return closed_ || !waiting_.empty(); });
}

void ChangeQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    ready_.notify_all();
}

bool ChangeQueue::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

const std::shared_ptr<Platform::ChangeWatch>& VaultChanges::watch(const Vault& vault) {
    if (!started_) {
        started_ = true;
        watch_ = vault.fs().watch(vault.root);
    }
    return watch_;
}

const Platform::ChangeBatch& VaultChanges::poll(const Vault& vault) {
    last_ = watch(vault) ? watch_->drain() : Platform::ChangeBatch{{}, true};
    for (const auto& queue : queues_) queue->push(last_);
    return last_;
}

void VaultChanges::follow(std::shared_ptr<ChangeQueue> queue) { queues_.push_back(std::move(queue)); }

}  // namespace qs
