// The day folders of the insights and outputs folders, listed once and kept
// from call to call while each folder's own stamp shows it unchanged.
#pragma once

#include <array>        // std::array
#include <memory>       // std::shared_ptr
#include <optional>     // std::optional
#include <span>         // std::span
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/file_system.hpp"
#include "vault/vault.hpp"

namespace qs {

// Finding an entry's day by testing each day folder for each of its files
// costs entries × day folders × suffixes look-ups; a vault holds thousands of
// day folders. Here each day folder is listed once, and listed again only
// when its stamp moved: adding or removing a name in a folder changes the
// folder's modification and change times. As with the kept index, a folder
// changed within two seconds of its listing is listed again on its next use.
// Where the system tells changes, a folder watched since its listing is not
// even stamped until a change names it.
class DayFolders {
public:
    // What changed since the last call, and the watch to add folders to
    // before listing them (nothing: stamps only). Called at a call's start.
    void note(const Platform::ChangeBatch& batch, std::shared_ptr<Platform::ChangeWatch> watch);

    // For each id, the newest day folder (by name, descending) under `base`,
    // resolved for reading, that holds id + one of `suffixes`, or its cloud
    // placeholder ("." + id + suffix + ".icloud"); nothing where none does.
    // Each found name is confirmed by the same existence test a plain scan
    // makes, so a listing never answers for the file system.
    std::vector<std::optional<std::string>> newest(const Vault& vault, VaultPath base, std::span<const std::string> ids,
        std::span<const std::string_view> suffixes);

    // Forgets everything, for a server left idle.
    void release() { bases_ = {}; }

private:
    struct Day {
        std::string name;
        std::optional<Platform::FileStamp> stamp;
        bool trusted = false;
        bool watched = false;  // watched since its listing, and no change told since
        // Its names, a placeholder's as the name it stands for, A-Z lowered,
        // and their hashes, which a call compares before any name.
        std::vector<std::string> names;
        std::vector<size_t> hashes;
    };
    struct Base {
        std::string folder;
        std::optional<Platform::FileStamp> stamp;
        bool trusted = false;
        bool watched = false;
        std::vector<Day> days;  // its day-shaped names, newest first
    };
    Base& fresh(const Vault& vault, VaultPath base);
    static void fresh(
        const Vault& vault, const Base& base, Day& day, const std::optional<Platform::FileStamp>& stamp, bool watched);
    // Forgets that the folders `path` names were unchanged.
    static void unwatch(Base& base, const std::string& path);

    std::array<Base, 2> bases_;
    std::shared_ptr<Platform::ChangeWatch> watch_;
};

}  // namespace qs
