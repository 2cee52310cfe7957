// The full-text index as the tools see it: opened on first use, built and
// kept fresh by one thread of its own, searched on the request thread.
#pragma once

#include <atomic>              // std::atomic
#include <condition_variable>  // std::condition_variable
#include <cstdint>             // int64_t
#include <memory>              // std::unique_ptr
#include <mutex>               // std::mutex
#include <optional>            // std::optional
#include <string>              // std::string
#include <thread>              // std::thread
#include <vector>              // std::vector

#include "search/fulltext_index.hpp"
#include "search/fulltext_query.hpp"
#include "vault/vault.hpp"
#include "vault/vault_changes.hpp"

namespace qs::Search {

// What a search says of the index behind its answer.
struct IndexStatus {
    IndexCounts counts;
    int64_t waiting = 0;  // files listed for the pass under way, not yet indexed
    bool building = false;
    double progress = 1.0;   // of the pass under way, 0 to 1
    bool temporary = false;  // the cache folder could not be written
};

// Why there is no index to search: a sentence for the user.
struct Unavailable {
    std::string sentence;
};

class FulltextService {
public:
    // Nothing happens until the first search: a server that is never asked
    // to search builds nothing. `cacheRoot` holds one database per vault;
    // `changes` (which must outlive the service) tells what to index again.
    FulltextService(Vault vault, EntrySource entries, std::string cacheRoot, VaultChanges& changes);
    // Stops the builder, which keeps what it committed.
    ~FulltextService();
    FulltextService(const FulltextService&) = delete;
    FulltextService& operator=(const FulltextService&) = delete;

    // Searches what is indexed now. On first use the index is opened and the
    // builder started; after that, when changes wait, a pass over them is
    // asked for and waited for a moment, never longer. Throws Unavailable.
    std::optional<SearchResult> search(const SearchRequest& request);
    IndexStatus status();

    // The server wrote (or replaced) this file: the next search sees it.
    void written(const std::string& path);

    // Stops the builder's thread: standard input ended.
    void stop();

private:
    void open();
    void run();
    // Drops a damaged database and starts it anew.
    void rebuild();
    void retryWritten();

    Vault vault_;
    EntrySource entries_;
    std::string cacheRoot_;
    VaultChanges& changes_;
    std::shared_ptr<ChangeQueue> queue_;            // what changed, for the builder
    std::shared_ptr<Platform::ChangeWatch> watch_;  // nothing: every pass sweeps
    std::string path_;
    bool temporary_ = false;
    std::unique_ptr<FulltextIndex> index_;  // the request thread's connection
    std::vector<std::string> unwritten_;    // own writes the index could not take yet

    Progress progress_;
    std::atomic<bool> stopFlag_{false};
    std::atomic<bool> broken_{false};  // the builder met a damaged database
    // The next pass looks at everything by stamps: the first one, and one
    // after a pass that missed changes or read a folder it cannot watch.
    std::atomic<bool> sweepDue_{true};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool passWanted_ = false;
    int64_t passes_ = 0;  // finished passes, this process's and the other server's
    std::thread builder_;
};

}  // namespace qs::Search
