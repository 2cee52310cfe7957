// Why a vault file could not be read or written: the kind a caller acts on,
// the platform failure under it, and the client's text for each kind.
#pragma once

#include <string>  // std::string

#include "platform/platform_error.hpp"

namespace qs {

struct VaultError {
    enum class Kind {
        absent,              // neither the file nor its placeholder is there
        notDownloaded,       // in iCloud, and not brought down within the wait
        notRegular,          // a pipe, a device, a folder: never read
        tooLarge,            // beyond the read limit
        unreadable,          // there, but the system refused (permissions, I/O)
        outsideVault,        // resolves, through a link, outside the vault
        createFolderFailed,  // a folder on the way could not be made
        writeFailed,         // the content could not be written or put in place
    };

    Kind kind;
    std::string path;
    Platform::Error cause;

    // A failed read of `path`, of the kind `cause` stands for.
    static VaultError reading(const std::string& path, Platform::Error cause);

    // The client's text: "建目录失败: " or "写文件失败: " with the system's
    // reason for the write kinds, the refusal for a link leading out, what
    // could not be read (or is still downloading) for the others.
    std::string description() const;
};

}  // namespace qs
