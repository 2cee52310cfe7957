// The one place a vault error becomes the client's text.
#include "vault/vault_error.hpp"

#include <string>   // std::to_string
#include <utility>  // std::move

namespace qs {

VaultError VaultError::reading(const std::string& path, Platform::Error cause) {
    Kind kind = Kind::unreadable;
    switch (cause.kind) {
    case Platform::Error::Kind::absent: kind = Kind::absent; break;
    case Platform::Error::Kind::notDownloaded: kind = Kind::notDownloaded; break;
    case Platform::Error::Kind::notRegular: kind = Kind::notRegular; break;
    case Platform::Error::Kind::tooLarge: kind = Kind::tooLarge; break;
    case Platform::Error::Kind::taken:
    case Platform::Error::Kind::timedOut:
    case Platform::Error::Kind::failed: break;
    }
    return VaultError{kind, path, std::move(cause)};
}

std::string VaultError::description() const {
    switch (kind) {
    case Kind::outsideVault: return "这个位置经过链接指向了 Vault 之外,不读也不写: " + path;
    case Kind::createFolderFailed: return "建目录失败: " + cause.message();
    case Kind::writeFailed: return "写文件失败: " + cause.message();
    case Kind::notDownloaded: return "还在从 iCloud 下载,没等到: " + path;
    case Kind::lockRefused:
        if (cause.kind == Platform::Error::Kind::timedOut) {
            return "写文件失败: 另一个进程占着纪要写锁超过 " + std::to_string(waited.count() / 1000) + " 秒,请稍后再试";
        }
        return "写文件失败: 拿不到纪要写锁(" + cause.message() + "),这次什么都没写: " + path;
    case Kind::locatedNowhere: {
        std::string text = "找不到 quillstack Vault。已尝试:\n";
        for (size_t i = 0; i < tried.size(); ++i) {
            if (i > 0) text += "\n";
            text += "  · " + tried[i];
        }
        return text + "\n\n用 --vault <路径> 或环境变量 QUILLSTACK_VAULT 指定。";
    }
    case Kind::absent:
    case Kind::notRegular:
    case Kind::tooLarge:
    case Kind::unreadable:
    case Kind::notAnIndex: break;
    }
    return "读不到 " + path + ": " + cause.message();
}

}  // namespace qs
