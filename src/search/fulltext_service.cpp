// The index's two connections: the request thread searches on one, the
// builder's thread keeps the database in step with the vault on the other.
#include "search/fulltext_service.hpp"

#include <chrono>   // std::chrono::milliseconds
#include <utility>  // std::move

#include "platform/log.hpp"

namespace qs::Search {
namespace {

// A search asks for a pass when changes wait and waits this long for it;
// the first search of a server waits a little longer, for a small vault's
// first build. Either way it then answers from what is indexed.
constexpr auto kFreshWait = std::chrono::milliseconds(300);
constexpr auto kFirstWait = std::chrono::milliseconds(800);
// The builder commits every 150 ms, so a write of the request thread gets
// its turn well within this.
constexpr int kRequestLockWaitMs = 1000;
constexpr int kBuilderLockWaitMs = 5000;

}  // namespace

FulltextService::FulltextService(Vault vault, EntrySource entries, std::string cacheRoot, VaultChanges& changes)
    : vault_(std::move(vault)), entries_(std::move(entries)), cacheRoot_(std::move(cacheRoot)), changes_(changes) {}

FulltextService::~FulltextService() { stop(); }

void FulltextService::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopFlag_ = true;
    changed_.notify_all();
    if (builder_.joinable()) builder_.join();
}

void FulltextService::open() {
    if (index_) return;
    Platform::FileSystem& fs = vault_.fs();
    std::string realRoot = vault_.realRoot;
    if (realRoot.empty()) {
        auto resolved = fs.realPath(vault_.root);
        realRoot = resolved ? *resolved : vault_.root;
    }
    // The user's cache folder, else a temporary one: search works either way.
    std::string why;
    const std::string fallback = Platform::joinPath(fs.temporaryDirectory(), "quillstack-mcp");
    for (const std::string& folder : {cacheRoot_, fallback}) {
        if (auto made = fs.createDirectories(folder); !made) {
            why = made.error().message();
            continue;
        }
        const std::string path = FulltextIndex::databasePath(folder, realRoot);
        try {
            index_ = FulltextIndex::open(path, fs);
        } catch (const SqlError& error) {
            why = error.message;
            continue;
        }
        path_ = path;
        temporary_ = folder != cacheRoot_;
        if (temporary_) logStderr("全文索引放在临时目录: " + path);
        break;
    }
    if (!index_) {
        throw Unavailable{"全文索引建不起来(" + why + ")。缓存目录 " + cacheRoot_ +
                          " 要能写;其他工具不受影响,可以先用 vault_search。"};
    }
    index_->db().waitForLocks(kRequestLockWaitMs);
    if (!queue_) {
        // From here on every call's changes reach the builder; what came
        // before is found by the first pass, a sweep.
        queue_ = std::make_shared<ChangeQueue>();
        changes_.follow(queue_);
        watch_ = changes_.watch(vault_);
    }
    sweepDue_ = true;
    stopFlag_ = false;
    stopping_ = false;
    builder_ = std::thread([this] { run(); });
}

void FulltextService::run() {
    std::unique_ptr<FulltextIndex> own;
    try {
        own = FulltextIndex::open(path_, vault_.fs());
        own->db().waitForLocks(kBuilderLockWaitMs);
    } catch (const SqlError& error) {
        logStderr("全文索引打不开: " + error.message);
    }
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!passWanted_) {
            changed_.wait(lock);
            continue;
        }
        passWanted_ = false;
        lock.unlock();
        Platform::ChangeBatch batch = queue_->take();
        batch.overflow = sweepDue_.exchange(false) || batch.overflow;
        Synced synced = Synced::stopped;
        // Two servers on one vault: one of them builds, the other reads.
        auto builder = vault_.fs().lockFile(path_ + ".lock", std::chrono::milliseconds(0));
        if (own && (builder || builder.error().kind != Platform::Error::Kind::timedOut)) {
            progress_.done = 0;
            progress_.total = 0;
            progress_.running = true;
            try {
                synced = own->sync(vault_, entries_, batch, watch_.get(), stopFlag_, progress_);
            } catch (const SqlError& error) {
                logStderr("全文索引更新失败: " + error.message);
                if (error.corrupt()) broken_ = true;
            }
            progress_.running = false;
        }
        // The changes of a pass not done are lost with it: the next one sweeps.
        if (synced != Synced::watched) sweepDue_ = true;
        lock.lock();
        ++passes_;
        changed_.notify_all();
    }
}

void FulltextService::retryWritten() {
    std::vector<std::string> paths = std::move(unwritten_);
    unwritten_.clear();
    for (const std::string& path : paths) written(path);
}

void FulltextService::written(const std::string& path) {
    if (!index_) return;  // the first build will read it
    try {
        index_->indexFile(vault_, path);
    } catch (const SqlError&) {
        unwritten_.push_back(path);
    }
}

void FulltextService::rebuild() {
    stop();
    index_.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) (void)vault_.fs().remove(path_ + suffix);
    broken_ = false;
    open();
}

std::optional<SearchResult> FulltextService::search(const SearchRequest& request) {
    const bool first = !index_;
    if (broken_) rebuild();
    open();
    retryWritten();
    // Nothing changed since the last pass: the index answers as it stands.
    if (first || sweepDue_ || queue_->wait(std::chrono::milliseconds(0))) {
        std::unique_lock lock(mutex_);
        const int64_t seen = passes_;
        passWanted_ = true;
        changed_.notify_all();
        // While a long build runs, the answer comes from what it has indexed.
        if (first || !progress_.running) {
            changed_.wait_for(lock, first ? kFirstWait : kFreshWait, [&] { return passes_ > seen; });
        }
    }
    SearchRequest dated = request;
    dated.now = vault_.fs().wallClockNs() / 1'000'000'000;
    for (int attempt = 0;; ++attempt) {
        try {
            return Search::search(index_->db(), dated);
        } catch (const SqlError& error) {
            if (!error.corrupt() || attempt > 0) throw Unavailable{"全文检索出错: " + error.message};
            // A damaged database is never trusted: made anew, built again.
            logStderr("全文索引损坏,重建: " + path_);
            rebuild();
        }
    }
}

IndexStatus FulltextService::status() {
    IndexStatus status;
    if (!index_) return status;
    try {
        status.counts = index_->counts();
    } catch (const SqlError&) {
    }
    status.building = progress_.running;
    const int64_t total = progress_.total, done = progress_.done;
    status.waiting = status.building ? std::max<int64_t>(total - done, 0) : 0;
    status.progress = status.building && total > 0 ? double(done) / double(total) : (status.building ? 0.0 : 1.0);
    status.temporary = temporary_;
    return status;
}

}  // namespace qs::Search
