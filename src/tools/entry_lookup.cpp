// Vetting of the "id" argument and the one message for an unreadable index.
#include "tools/entry_lookup.hpp"

#include <utility>  // std::move

#include "timeline/kept_index.hpp"
#include "tools/tool_failure.hpp"
#include "tools/vault_failure.hpp"
#include "vault/path_component.hpp"

namespace qs {

void failUnreadableIndex(const VaultError& why) {
    treatAsMissing(why);
    throw ToolFailure("读不到 Dashboard.json(" + why.path + ")。Vault 路径对吗?文件是不是还在从 iCloud 下载?");
}

std::string requireEntryId(const ToolArguments& arguments, const ToolParam& idParam) {
    std::string id = arguments.requiredString(idParam);
    // An id naming a parent folder or a sub-path would let a client read or
    // write files outside the entry's folder, and outside the vault.
    if (!isSinglePathComponent(id)) {
        throw ToolFailure(
            "id 不合法:「" + id +
            "」。id 是单个文件名(不能含 / 或 \\,不能是 . 或 ..),请用 vault_search 或 recording_list 拿到的 id。");
    }
    return id;
}

void requireReadable(const VaultError& error) {
    if (error.kind == VaultError::Kind::tooLarge || error.kind == VaultError::Kind::unreadable) {
        throw ToolFailure(error.description());
    }
}

NamedEntry locateNamedEntry(const ToolArguments& arguments, const ToolParam& idParam, ToolContext& context) {
    std::string id = requireEntryId(arguments, idParam);
    const DashboardIndex* index = requireIndex(context.index().get(context.vault()));
    const FeedItem* item = index->item(id);
    VaultFiles files =
        VaultFiles::locate(context.vault(), id, item ? std::string(item->day) : std::string(), context.dayFolders());
    return NamedEntry{std::move(id), item, std::move(files)};
}

}  // namespace qs
