// What every watch shares: batches put together, the server's own changes.
#include "platform/change_watch.hpp"

#include <iterator>  // std::make_move_iterator
#include <utility>   // std::exchange

#include "platform/system_watch.hpp"

namespace qs::Platform {

void ChangeBatch::merge(ChangeBatch other) {
    overflow = overflow || other.overflow;
    changes.insert(
        changes.end(), std::make_move_iterator(other.changes.begin()), std::make_move_iterator(other.changes.end()));
}

void OwnChanges::note(ChangeKind kind, const std::string& path) {
    std::lock_guard lock(mutex_);
    changes_.push_back(Change{kind, path, {}});
}

std::vector<Change> OwnChanges::take() {
    std::lock_guard lock(mutex_);
    return std::exchange(changes_, {});
}

bool Changes::within(const std::string& root, const std::string& path) {
    return path.starts_with(root) && (path.size() == root.size() || path[root.size()] == '/' || root.ends_with('/'));
}

}  // namespace qs::Platform
