// The system's change notifications behind the system file system: inotify on
// Linux (change_watch_inotify.cpp), FSEvents on macOS (change_watch_darwin.mm).
#pragma once

#include <memory>  // std::shared_ptr
#include <string>  // std::string

#include "platform/change_watch.hpp"

namespace qs::Platform::Changes {

// A watch over folders below `root`, also telling the changes `own` collects;
// nothing where the system tells no changes there (no service, a network
// share whose other clients' changes are never told).
std::shared_ptr<ChangeWatch> watch(const std::string& root, std::shared_ptr<OwnChanges> own);

// Whether `path` is `root` or lies below it.
bool within(const std::string& root, const std::string& path);

}  // namespace qs::Platform::Changes
