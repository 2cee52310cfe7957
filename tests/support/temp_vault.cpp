// Temporary fixture folders for unit and end-to-end tests.
#include "support/temp_vault.hpp"

#include <unistd.h>    // mkdtemp on macOS (glibc has it in <cstdlib>)
#include <algorithm>   // std::sort
#include <cstdlib>     // mkdtemp, getenv
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ofstream, std::ifstream
#include <sstream>     // std::stringstream
#include <stdexcept>   // std::runtime_error

namespace fs = std::filesystem;

namespace qs::test {

TempDir::TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qs-test-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make folders read-only to provoke write failures; undo that first.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::at(const std::string& rel) const { return rel.empty() ? path_ : path_ + "/" + rel; }

void TempDir::write(const std::string& rel, const std::string& content) const {
    fs::path p = at(rel);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write fixture " + p.string());
}

void TempDir::writeJson(const std::string& rel, const Json& value) const { write(rel, value.dump(2)); }

void TempDir::mkdir(const std::string& rel) const { fs::create_directories(at(rel)); }

std::optional<std::string> TempDir::read(const std::string& rel) const {
    std::ifstream in(at(rel), std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> TempDir::list(const std::string& rel) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(at(rel), ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> TempDir::listRecursive(const std::string& rel) const {
    std::vector<std::string> files;
    std::error_code ec;
    fs::path base = at(rel);
    for (auto it = fs::recursive_directory_iterator(base, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), base).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TempVault::TempVault(Layout layout) : layout_(layout) {
    mkdir(coreDir());
    mkdir(timelineDir());
}

std::string TempVault::coreDir() const { return layout_ == Layout::english ? "core" : "00-记忆核心"; }

std::string TempVault::timelineDir() const { return layout_ == Layout::english ? "memories/timeline" : "01-情景记忆/00-时间流"; }

void TempVault::dashboard(const Json& items) const {
    writeJson(coreDir() + "/Dashboard.json", Json{{"feedItems", items}, {"updatedAt", "2025-03-05T10:00:00Z"}});
}

void TempVault::dashboardRaw(const std::string& bytes) const { write(coreDir() + "/Dashboard.json", bytes); }

}  // namespace qs::test
