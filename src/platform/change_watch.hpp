// Change notifications from the system: which files and folders of the vault
// were created, changed, deleted or renamed since the watch was last drained.
#pragma once

#include <memory>  // std::shared_ptr
#include <mutex>   // std::mutex
#include <string>  // std::string
#include <vector>  // std::vector

namespace qs::Platform {

enum class ChangeKind { created, changed, deleted, renamed };

struct Change {
    ChangeKind kind = ChangeKind::changed;
    std::string path;  // for a rename, the new path
    std::string from;  // for a rename, the old path when the system tells it
    bool operator==(const Change&) const = default;
};

// What a drain hands out. A kind is the system's word for what happened; a
// reader confirms with the disk (a file created and deleted between drains
// may come as either). A folder created or renamed into place stands for
// everything inside it: what was put in it before it was watched is not told.
struct ChangeBatch {
    std::vector<Change> changes;
    // Changes were lost (a full event queue, a dropped stream): trust nothing
    // kept from before, check everything once.
    bool overflow = false;

    [[nodiscard]] bool empty() const { return changes.empty() && !overflow; }
    // Appends `other`, as if both had come in one drain.
    void merge(ChangeBatch other);
};

// Changes the server made itself, told at once by the file system that made
// them: a system service may deliver its own notifications late (macOS
// batches them), and the server's next call must see its own writes.
class OwnChanges {
public:
    void note(ChangeKind kind, const std::string& path);
    std::vector<Change> take();

private:
    std::mutex mutex_;
    std::vector<Change> changes_;
};

// One watch over a vault, shared by the request thread (which drains it) and
// the index's thread (which adds the folders it reads); both calls are safe
// from any thread.
class ChangeWatch {
public:
    virtual ~ChangeWatch() = default;

    // Watches the entries directly inside `folder` (not those of its
    // subfolders) from now on: a reader that adds a folder before listing it
    // learns of every later change in a later drain, or that drain says
    // `overflow`. False when the folder cannot be watched (absent, outside
    // the vault, the system's limit on watches reached): the caller then
    // checks it by its stamps.
    virtual bool add(const std::string& folder) = 0;

    // Everything told since the last drain, at once: never waits for the system.
    virtual ChangeBatch drain() = 0;
};

}  // namespace qs::Platform
