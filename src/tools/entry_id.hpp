// The "id" argument of the entry tools, vetted before it becomes a file name.
#pragma once

#include <string>  // std::string

#include "protocol/rpc_request.hpp"
#include "timeline/dashboard_index.hpp"
#include "vault/entry_files.hpp"
#include "vault/vault.hpp"

namespace qs {

// requiredString("id"), then the single-path-component check: an id that
// could reach outside its folder fails with a ToolFailure naming it.
std::string requireEntryId(const RPCRequest& request);

// The entry a reading tool is asked about: its vetted id, the index item
// when the index lists it, and its files (found through the item's day).
struct NamedEntry {
    std::string id;
    DashboardIndex index;   // owns `item`
    const FeedItem* item;   // nullptr when the index does not list the id
    VaultFiles files;
};

// requireEntryId, then the index (a ToolFailure when it cannot be read), then
// the files.
NamedEntry locateNamedEntry(const RPCRequest& request, const Vault& vault);

}  // namespace qs
