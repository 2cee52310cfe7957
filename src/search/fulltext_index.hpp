// The full-text index's database: where it lives, its tables, and keeping
// it in step with the vault's files and the timeline's entries.
#pragma once

#include <atomic>       // std::atomic
#include <cstdint>      // int64_t
#include <functional>   // std::function
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/change_watch.hpp"
#include "search/index_fields.hpp"
#include "search/sqlite_handle.hpp"
#include "vault/vault.hpp"

namespace qs::Search {

// The timeline's entries, read by the layer that knows the timeline;
// nothing when its index cannot be read now.
using EntrySource = std::function<std::optional<std::vector<EntryTexts>>()>;

// How far a pass over the vault is; read by the request thread while the
// builder's thread moves it.
struct Progress {
    std::atomic<bool> running{false};
    std::atomic<int64_t> done{0};
    std::atomic<int64_t> total{0};
};

// What the index holds now.
struct IndexCounts {
    int64_t documents = 0;
    int64_t files = 0;
    int64_t inCloud = 0;  // evicted, so not read: counted, indexed once local
};

// How a pass ended: cut short by its stop, or done with every folder it read
// watched from then on, or done with some folder that could not be watched,
// so that the next pass must look at everything by stamps again.
enum class Synced { stopped, watched, unwatched };

// The database of one vault, opened on one connection (one per thread).
class FulltextIndex {
public:
    // Bumped whenever the tables or the tokenizer change: an older database
    // is built again, never trusted.
    static constexpr int64_t kFormat = 2;

    // The database file for the vault whose real path is `realRoot`, in
    // `cacheFolder`: one per vault, named after the path.
    static std::string databasePath(const std::string& cacheFolder, const std::string& realRoot);

    // Opens the database at `path`, making its tables; a damaged, truncated
    // or older one is removed and made anew. Throws SqlError.
    static std::unique_ptr<FulltextIndex> open(const std::string& path, Platform::FileSystem& fs);

    Connection& db() { return *db_; }
    [[nodiscard]] const std::string& path() const { return path_; }

    // One pass over what `changes` names: the timeline's entries when its
    // file moved, the files and day folders that came, changed or went.
    // An overflow, or no `watch`, makes it a sweep by stamps: every day
    // folder whose stamp moved, file by file. Each folder read is added to
    // `watch` before it is read, so a later change to it is told. Evicted
    // files are counted, never read (never downloaded).
    Synced sync(const Vault& vault, const EntrySource& entries, const Platform::ChangeBatch& changes,
        Platform::ChangeWatch* watch, const std::atomic<bool>& stop, Progress& progress);

    // Indexes one file the server has just written (or removed), at once.
    void indexFile(const Vault& vault, const std::string& path);

    IndexCounts counts();

private:
    FulltextIndex(std::unique_ptr<Connection> db, std::string path) : db_(std::move(db)), path_(std::move(path)) {}
    struct Pass;
    std::unique_ptr<Connection> db_;
    std::string path_;
};

}  // namespace qs::Search
