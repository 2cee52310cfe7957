// Why the vault, or a file in it, could not be had: the kind a caller acts
// on, the platform failure under it, and the client's text for each kind.
#pragma once

#include <chrono>  // std::chrono::milliseconds
#include <string>  // std::string
#include <vector>  // std::vector

#include "platform/platform_error.hpp"

namespace qs {

struct VaultError {
    enum class Kind {
        absent,              // neither the file nor its placeholder is there
        notDownloaded,       // in iCloud, and not brought down within the wait
        notRegular,          // a pipe, a device, a folder: never read
        tooLarge,            // beyond the read limit
        unreadable,          // there, but the system refused (permissions, I/O)
        notAnIndex,          // read, but no timeline index (not JSON, not an object)
        outsideVault,        // resolves, through a link, outside the vault
        createFolderFailed,  // a folder on the way could not be made
        writeFailed,         // the content could not be written or put in place
        lockRefused,         // the vault's write lock could not be had
        locatedNowhere,      // no candidate folder holds a timeline index
    };

    Kind kind;
    std::string path;
    Platform::Error cause;
    // locatedNowhere: every folder tried, in order.
    std::vector<std::string> tried = {};
    // lockRefused: how long a peer's lock was waited for.
    std::chrono::milliseconds waited{0};

    // A failed read of `path`, of the kind `cause` stands for.
    static VaultError reading(const std::string& path, Platform::Error cause);

    // The client's text: "建目录失败: " or "写文件失败: " with the system's
    // reason for the write kinds (a refused lock says which way), the refusal
    // for a link leading out, the folders tried when no vault was found,
    // what could not be read (or is still downloading) for the others.
    [[nodiscard]] std::string description() const;
};

}  // namespace qs
