// The index and the entry a tool is asked about, vetted before any file is touched.
#pragma once

#include <string>   // std::string
#include <utility>  // std::move

#include "timeline/dashboard_index.hpp"
#include "tools/tool.hpp"
#include "tools/tool_arguments.hpp"
#include "vault/entry_files.hpp"
#include "vault/vault.hpp"
#include "vault/vault_error.hpp"

namespace qs {

// The loaded index; throws ToolFailure naming the index file otherwise.
[[noreturn]] void failUnreadableIndex(const VaultError& why);
template <class T>
T requireIndex(Expected<T, VaultError> load) {
    if (!load) failUnreadableIndex(load.error());
    return std::move(*load);
}

// The required id, then the single-path-component check: an id that could
// reach outside its folder fails with a ToolFailure naming it.
std::string requireEntryId(const ToolArguments& arguments, const ToolParam& idParam);

// The entry a reading tool is asked about: its vetted id, the index item
// when the index lists it, and its files (found through the item's day).
struct NamedEntry {
    std::string id;
    const FeedItem* item;  // nullptr when the index does not list the id; valid during the call
    VaultFiles files;
};

// Throws ToolFailure with the error's text for a file too large or refused
// by the system: such a file is there and is never reported as missing.
void requireReadable(const VaultError& error);

// requireEntryId, then the index, then the files.
NamedEntry locateNamedEntry(const ToolArguments& arguments, const ToolParam& idParam, ToolContext& context);

}  // namespace qs
