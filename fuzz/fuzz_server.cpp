// Arbitrary input lines through the whole server (transport, requests,
// dispatch, every tool, writes included) on a scratch copy of the demo vault.
#include <sys/mman.h>  // memfd_create (Linux)
#include <unistd.h>    // write, lseek, close, unlink

#include <fcntl.h>     // open
#include <cerrno>      // EIO, ENOSPC
#include <cstddef>     // size_t
#include <cstdint>     // uint8_t
#include <cstdio>      // std::fprintf
#include <cstdlib>     // mkdtemp, mkstemp, getenv, atexit, abort
#include <filesystem>  // std::filesystem
#include <memory>      // std::make_shared, std::unique_ptr
#include <string>      // std::string

#include "protocol/mcp_server.hpp"
#include "support/simulated_cloud.hpp"
#include "vault/vault_io.hpp"

namespace fs = std::filesystem;

namespace {

std::string scratchDir;
std::string scratchRoot;
int devNull = -1;
size_t runs = 0;

// Writes pile up in the scratch vault; start from a clean copy now and then
// so a long run does not fill the disk.
void freshVault() {
    std::error_code ec;
    fs::remove_all(scratchRoot, ec);
    fs::copy(std::string(QS_SOURCE_DIR) + "/examples/demo-vault", scratchRoot, fs::copy_options::recursive);
}

// The input as a readable descriptor. macOS has no memfd: there a temporary
// file, unlinked at once, serves the same.
int inputDescriptor() {
#if defined(__linux__)
    return ::memfd_create("qs-fuzz-input", 0);
#else
    std::string name = scratchDir + "/input-XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
#endif
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qs-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    scratchDir = pattern;
    scratchRoot = scratchDir + "/vault";
    // libFuzzer and the replay runner both leave through exit().
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(scratchDir, ec);
    });
    freshVault();
    devNull = ::open("/dev/null", O_WRONLY);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (++runs % 2000 == 0) freshVault();
    int in = inputDescriptor();
    if (in < 0) return 0;
    size_t off = 0;
    while (off < size) {
        ssize_t n = ::write(in, data + off, size - off);
        if (n <= 0) break;
        off += static_cast<size_t>(n);
    }
    ::lseek(in, 0, SEEK_SET);
    // Through the simulated provider, one file-system call of the run fails
    // (which one follows the input's size), so every tool's error paths are
    // fuzzed with the rest. No placeholder ever downloads here; do not let
    // one stall a run.
    auto cloud = std::make_shared<qs::Platform::SimulatedCloud>(qs::Platform::systemFileSystem());
    cloud->failCall(static_cast<int>(size % 41) + 1, size % 2 ? EIO : ENOSPC);
    qs::Vault vault{scratchRoot, qs::PathSchema::englishV2, {}, {std::chrono::seconds(0)}, cloud};
    const std::unique_ptr<qs::Transport> transport = qs::fdTransport(in, devNull);
    qs::MCPServer server(std::move(vault), *transport);
    server.run();
    ::close(in);
    // A write that climbed out of the vault is a fault as real as a crash.
    for (const auto& entry : fs::directory_iterator(scratchDir)) {
        if (entry.path().filename() != "vault") {
            std::fprintf(stderr, "written outside the vault: %s\n", entry.path().c_str());
            std::abort();
        }
    }
    return 0;
}
