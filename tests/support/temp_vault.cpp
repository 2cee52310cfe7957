// Temporary fixture folders for unit and end-to-end tests.
#include "support/temp_vault.hpp"

#include <unistd.h>    // mkdtemp on macOS (glibc has it in <cstdlib>)
#include <algorithm>   // std::sort
#include <cstdlib>     // mkdtemp
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ofstream, std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <stdexcept>   // std::runtime_error

namespace fs = std::filesystem;

namespace qs::test {
namespace {

// Sorted names below a folder: its entries, or every regular file as a relative path.
template <class Walk>
std::vector<string> walk(const string& base, bool filesOnly) {
    std::vector<string> names;
    std::error_code ec;
    for (auto it = Walk(base, ec); !ec && it != Walk(); it.increment(ec))
        if (!filesOnly || it->is_regular_file(ec)) names.push_back(fs::relative(it->path(), base).string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// Under $TMPDIR, else /tmp.
TempDir::TempDir() : path_(fs::temp_directory_path() / "qs-test-XXXXXX") {
    if (!::mkdtemp(path_.data())) throw std::runtime_error("mkdtemp failed");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void TempDir::write(const string& rel, const string& content) const {
    mkdir(fs::path(rel).parent_path());
    if (!(std::ofstream(at(rel), std::ios::binary) << content)) throw std::runtime_error("cannot write fixture " + at(rel));
}

void TempDir::mkdir(const string& rel) const { fs::create_directories(at(rel)); }

std::optional<string> TempDir::read(const string& rel) const {
    std::ifstream in(at(rel), std::ios::binary);
    if (!in) return std::nullopt;
    return string(std::istreambuf_iterator<char>(in), {});
}

std::vector<string> TempDir::list(const string& rel) const { return walk<fs::directory_iterator>(at(rel), false); }

std::vector<string> TempDir::listRecursive(const string& rel) const { return walk<fs::recursive_directory_iterator>(at(rel), true); }

}  // namespace qs::test
