// What failed in the operating system: the operation, the path and errno.
#pragma once

#include <string>  // std::string

namespace qs::Platform {

struct Error {
    // What the failure means to a caller, derived from errno where there is one.
    enum class Kind {
        absent,         // nothing at the path (ENOENT, ENOTDIR)
        notDownloaded,  // evicted to the cloud, its content not here yet (EDEADLK)
        notRegular,     // a pipe, a device, a socket, a folder where a file is read
        tooLarge,       // larger than the caller's limit (EFBIG)
        taken,          // the name is in use (EEXIST)
        timedOut,       // another holder kept it past the deadline (ETIMEDOUT)
        failed,         // anything else: permissions, I/O, a full disk, a refused coordination
    };

    Kind kind = Kind::failed;
    std::string operation;  // "open", "rename", "coordinate writing", ...
    std::string path;
    int code = 0;        // errno; 0 where the system gave none
    std::string detail;  // the system's own text where there is no errno (Foundation's)

    // The kind errno `code` stands for.
    static Error fromErrno(std::string operation, std::string path, int code);

    // The system's text for the failure: detail, else strerror.
    [[nodiscard]] std::string message() const;
    // The whole failure for the log, the one way it is shown: operation,
    // path and reason ("open /v/core/Dashboard.json: Input/output error").
    [[nodiscard]] std::string describe() const;
};

}  // namespace qs::Platform
