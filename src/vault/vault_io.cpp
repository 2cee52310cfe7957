// Vault file contents in and out: evicted files brought down before reading,
// coordinated access, atomic and exclusive writes.
#include "vault/vault_io.hpp"

#include <cerrno>    // ENOENT, ETIMEDOUT, EXDEV
#include <chrono>    // std::chrono::steady_clock, duration_cast
#include <optional>  // std::optional
#include <string>    // std::to_string

#include "platform/log.hpp"

namespace qs::VaultIO {
namespace {

// Left by a process killed in the middle of a write, after this long.
constexpr std::chrono::hours kStaleTemporaryAge{1};

VaultError writing(VaultError::Kind kind, const std::string& path, Platform::Error cause) {
    return VaultError{kind, path, std::move(cause)};
}

// Fails unless `path` stays inside the vault.
Result requireInside(const Vault& vault, const std::string& path, bool followLast) {
    auto inside = vault.holds(path, followLast);
    if (!inside) return VaultError::reading(path, inside.error());
    if (!*inside)
        return VaultError{VaultError::Kind::outsideVault, path, Platform::Error::fromErrno("resolve", path, EXDEV)};
    return {};
}

// How long a coordinated access may wait for other processes: as long as a download.
std::chrono::milliseconds coordinationBound(const Vault& vault) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(vault.downloadWait.timeout);
}

// A file other processes held past the bound: reported as a download that
// did not arrive in time, with the same log line.
VaultError timedOut(const std::string& path, Platform::Error cause) {
    logStderr("⏱ 下载超时: " + Platform::lastComponent(path));
    return VaultError{VaultError::Kind::notDownloaded, path, std::move(cause)};
}

// Runs `place` on the path, coordinated with other writers of the file;
// where coordination is refused, directly. Nothing is placed when the file
// stayed held past the bound.
template <class Place>
Result coordinated(const Vault& vault, const std::string& path, Place&& place) {
    if (auto refused = vault.fs().coordinateWriting(path, coordinationBound(vault), place); !refused) {
        if (refused.error().kind == Platform::Error::Kind::notDownloaded) return timedOut(path, refused.error());
        logStderr("⚠️ 协调写失败,退回裸写: " + refused.error().message());
        place(path);
    }
    return {};
}

// Present with its content, evicted, or gone: one stat.
Expected<Presence, VaultError> presenceHere(const Vault& vault, const std::string& path) {
    auto info = vault.fs().stat(path);
    if (info) return info->dataless ? Presence::evicted : Presence::present;
    // Below an evicted folder the name cannot be looked up yet: it is evicted with it.
    if (info.error().kind == Platform::Error::Kind::notDownloaded) return Presence::evicted;
    if (info.error().kind == Platform::Error::Kind::absent) return Presence::absent;
    return VaultError::reading(path, info.error());
}

// Asks for the download of an evicted entry and waits, polling, until it is
// present or the vault's wait has run out.
Result awaitDownload(const Vault& vault, const std::string& path) {
    const std::string name = Platform::lastComponent(path);
    logStderr("iCloud 占位符,触发下载: " + name);
    if (auto asked = vault.fs().requestDownload(path); !asked) {
        // Refused (not in iCloud, say): waiting would only hide the reason.
        logStderr("⚠️ iCloud 拒绝下载 " + name + ": " + asked.error().message());
        return VaultError{VaultError::Kind::notDownloaded, path, asked.error()};
    }
    const DownloadWait& wait = vault.downloadWait;
    const auto deadline =
        vault.fs().steadyNow() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait.timeout);
    while (vault.fs().steadyNow() < deadline) {
        auto now = presenceHere(vault, path);
        if (now && *now == Presence::present) return {};
        // A failure no wait mends (an I/O error, say) ends it with its own
        // cause, rather than pass for a download that did not arrive.
        if (!now) {
            logStderr("⚠️ " + now.error().cause.describe());
            return now.error();
        }
        vault.fs().sleepFor(std::chrono::duration_cast<std::chrono::nanoseconds>(wait.poll));
    }
    return timedOut(path, Platform::Error::fromErrno("download", path, ETIMEDOUT));
}

}  // namespace

Expected<Presence, VaultError> presenceOf(const Vault& vault, const std::string& path) {
    auto here = presenceHere(vault, path);
    if (!here || *here != Presence::absent || Platform::lastComponent(path).empty()) return here;
    auto placeholder = presenceHere(vault, cloudPlaceholderOf(path));
    if (!placeholder) return placeholder.error();
    return *placeholder == Presence::absent ? Presence::absent : Presence::evicted;
}

Result ensureDownloaded(const Vault& vault, const std::string& path) {
    // An evicted folder comes down first: no name below it can be looked up
    // before, and trying could block where the process lets dataless
    // folders materialise on access.
    if (const std::string folder = Platform::parentOf(path); folder != path) {
        if (auto info = vault.fs().stat(folder); info && info->dataless) {
            if (auto here = awaitDownload(vault, folder); !here) return here;
        }
    }
    auto presence = presenceOf(vault, path);
    if (!presence) return presence.error();
    if (*presence == Presence::present) return {};
    if (*presence == Presence::absent) {
        return VaultError{VaultError::Kind::absent, path, Platform::Error::fromErrno("stat", path, ENOENT)};
    }
    return awaitDownload(vault, path);
}

Result readInto(const Vault& vault, const std::string& path, std::string& buffer, uint64_t limit) {
    // Brought down first: below an evicted folder not even the links on the
    // way can be resolved. Nothing is read before the containment check.
    if (auto here = ensureDownloaded(vault, path); !here) return here;
    if (auto inside = requireInside(vault, path, /*followLast=*/true); !inside) return inside;
    std::optional<Platform::Status> read;
    auto coordination = vault.fs().coordinateReading(
        path, coordinationBound(vault), [&](const std::string& at) { read = vault.fs().readInto(at, buffer, limit); });
    if (!coordination && coordination.error().kind == Platform::Error::Kind::notDownloaded) {
        buffer.clear();
        return timedOut(path, coordination.error());
    }
    if (!coordination) read = vault.fs().readInto(path, buffer, limit);
    if (!*read) {
        Platform::Error cause = read->error();
        // The client is told which limit, so a file this size is not taken for a missing one.
        if (cause.kind == Platform::Error::Kind::tooLarge) {
            cause.detail = "超过 " + std::to_string(limit >> 20) + " MiB 的读取上限";
        }
        return VaultError::reading(path, std::move(cause));
    }
    return {};
}

Expected<std::string, VaultError> readData(const Vault& vault, const std::string& path) {
    std::string content;
    if (auto read = readInto(vault, path, content); !read) return read.error();
    return content;
}

Expected<Platform::StagedFile, VaultError> stage(const Vault& vault, std::string_view data, const std::string& path) {
    if (auto inside = requireInside(vault, path, /*followLast=*/false); !inside) return inside.error();
    const std::string folder = Platform::parentOf(path);
    // A folder evicted to iCloud comes down first, within the bound, rather
    // than be written into by a call that could wait on it without end.
    if (auto info = vault.fs().stat(folder); info && info->dataless) {
        if (auto here = ensureDownloaded(vault, folder); !here) return here.error();
    }
    if (auto made = vault.fs().createDirectories(folder); !made) {
        return writing(VaultError::Kind::createFolderFailed, path, made.error());
    }
    auto staged = vault.fs().stage(path, data);
    if (!staged) return writing(VaultError::Kind::writeFailed, path, staged.error());
    // After staging: the new temporary's stamp tells the file system's own time.
    vault.fs().removeStaleTemporaries(folder, kStaleTemporaryAge);
    return std::move(*staged);
}

Result place(const Vault& vault, Platform::StagedFile& staged, const std::string& path) {
    std::optional<Platform::Status> placed;
    if (auto held = coordinated(vault, path, [&](const std::string& at) { placed = vault.fs().replace(staged, at); });
        !held)
        return held;
    if (!*placed) return writing(VaultError::Kind::writeFailed, path, placed->error());
    return {};
}

Expected<Platform::Claim, VaultError> claim(const Vault& vault, Platform::StagedFile& staged, const std::string& path) {
    std::optional<Expected<Platform::Claim, Platform::Error>> claimed;
    if (auto held = coordinated(vault, path, [&](const std::string& at) { claimed = vault.fs().claim(staged, at); });
        !held)
        return held.error();
    if (!*claimed) return writing(VaultError::Kind::writeFailed, path, claimed->error());
    return **claimed;
}

Result write(const Vault& vault, std::string_view data, const std::string& path) {
    auto staged = stage(vault, data, path);
    if (!staged) return staged.error();
    return place(vault, *staged, path);
}

Result remove(const Vault& vault, const std::string& path) {
    if (auto removed = vault.fs().remove(path); !removed) {
        return writing(VaultError::Kind::writeFailed, path, removed.error());
    }
    return {};
}

}  // namespace qs::VaultIO
