// The located vault handed to every tool, with the file system it lives on.
#pragma once

#include <chrono>       // std::chrono::duration
#include <memory>       // std::shared_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/file_system.hpp"
#include "vault/path_schema.hpp"

namespace qs {

// Where iCloud keeps a file it has not downloaded: "." + name + ".icloud".
std::string cloudPlaceholderOf(const std::string& path);
// The name the placeholder `name` stands for ("X.min.md" for
// ".X.min.md.icloud"); nothing for any other name.
std::optional<std::string_view> placeholderTarget(std::string_view name);

// How long a file iCloud has not downloaded yet is waited for, and how often
// it is looked for meanwhile.
struct DownloadWait {
    std::chrono::duration<double> timeout{5.0};
    std::chrono::duration<double> poll{0.15};
};

struct Vault {
    std::string root;                           // absolute folder path, as located
    PathSchema schema = PathSchema::englishV2;  // detected once, when located
    std::string realRoot = {};                  // `root` with its links resolved, once; derived when left empty
    DownloadWait downloadWait = {};
    // Every file service the vault's readers and writers use.
    std::shared_ptr<Platform::FileSystem> files = Platform::systemFileSystem();

    [[nodiscard]] Platform::FileSystem& fs() const { return *files; }

    // Whether `path` stays inside the vault once links are resolved: the file
    // itself when `followLast` (a read), else the folder it would be put in
    // (a write replaces the name itself and never follows it). Fails when a
    // folder on the way cannot be resolved for another reason than absence.
    [[nodiscard]] Expected<bool, Platform::Error> holds(const std::string& path, bool followLast) const;

    // Where to read `location` + "/" + `subpath` from: the layout's own file,
    // else its read fallback's (the English layout's is the legacy one) when
    // only that exists.
    [[nodiscard]] std::string path(VaultPath location, std::string_view subpath = {}) const;
    // Where to write it: the layout's own location, never a fallback.
    [[nodiscard]] std::string writingPath(VaultPath location, std::string_view subpath = {}) const;
    // Where the layout's read fallback keeps it; nothing for a layout without one.
    [[nodiscard]] std::optional<std::string> fallbackPath(VaultPath location, std::string_view subpath = {}) const;
};

}  // namespace qs
