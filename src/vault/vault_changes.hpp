// The vault's change notifications: drained by the request thread at the
// start of each call and handed on to whatever keeps what they change (the
// kept day folders, the full-text index's queue). One watch serves them all.
#pragma once

#include <chrono>              // std::chrono::milliseconds
#include <condition_variable>  // std::condition_variable
#include <memory>              // std::shared_ptr
#include <mutex>               // std::mutex
#include <vector>              // std::vector

#include "platform/change_watch.hpp"
#include "vault/vault.hpp"

namespace qs {

// Changes waiting for another thread (the full-text index's): the request
// thread pushes, that thread takes. Past a bound, what waits becomes one
// overflow, so a long-busy index sweeps once instead of holding every path.
class ChangeQueue {
public:
    void push(const Platform::ChangeBatch& batch);
    // Everything pushed since the last take, as one batch; empty when none.
    Platform::ChangeBatch take();
    // Until something waits or the queue is closed, at most `timeout`; true
    // when something waits or it is closed.
    bool wait(std::chrono::milliseconds timeout);
    // No more pushes (the server is stopping): wakes the waiting thread.
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    Platform::ChangeBatch waiting_;
    bool closed_ = false;
};

class VaultChanges {
public:
    // The watch over `vault`, started on first use; nothing where the system
    // tells no changes. A reader adds a folder to it before listing it.
    const std::shared_ptr<Platform::ChangeWatch>& watch(const Vault& vault);

    // What changed since the last poll, never waited for, also pushed onto
    // every queue that follows. Called once at the start of every call.
    // Without a watch, every batch is an overflow: nothing kept is trusted
    // without its stamps.
    const Platform::ChangeBatch& poll(const Vault& vault);

    // `queue` gets every batch polled from now on. Its reader adds what it
    // reads to watch(), and sweeps once by stamps what it kept from before.
    void follow(std::shared_ptr<ChangeQueue> queue);

private:
    bool started_ = false;
    std::shared_ptr<Platform::ChangeWatch> watch_;
    Platform::ChangeBatch last_;
    std::vector<std::shared_ptr<ChangeQueue>> queues_;
};

}  // namespace qs
