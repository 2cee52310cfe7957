// Vetting of the "id" argument before it becomes part of a file name.
#include "tools/entry_id.hpp"

#include <utility>  // std::move

#include "protocol/tool_failure.hpp"
#include "vault/path_component.hpp"

namespace qs {

std::string requireEntryId(const RPCRequest& request) {
    std::string id = request.requiredString("id");
    // An id naming a parent folder or a sub-path would let a client read or
    // write files outside the entry's folder, and outside the vault.
    if (!isSinglePathComponent(id)) {
        throw ToolFailure("id 不合法:「" + id +
                          "」。id 是单个文件名(不能含 / 或 \\,不能是 . 或 ..),请用 vault_search 或 recording_list 拿到的 id。");
    }
    return id;
}

NamedEntry locateNamedEntry(const RPCRequest& request, const Vault& vault) {
    std::string id = requireEntryId(request);
    DashboardIndex index = DashboardIndex::load(vault);
    const FeedItem* item = index.item(id);
    VaultFiles files = VaultFiles::locate(vault, id, item ? std::string(item->day) : std::string());
    // Moving the index keeps its items where they are, so `item` stays valid.
    return NamedEntry{std::move(id), std::move(index), item, std::move(files)};
}

}  // namespace qs
