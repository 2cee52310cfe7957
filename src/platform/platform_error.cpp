// Platform errors: errno classified once, and its text.
#include "platform/platform_error.hpp"

#include <cerrno>   // ENOENT, ENOTDIR, EDEADLK, EFBIG, EEXIST, ETIMEDOUT
#include <cstring>  // strerror
#include <utility>  // std::move

namespace qs::Platform {

Error Error::fromErrno(std::string operation, std::string path, int code) {
    Kind kind = Kind::failed;
    switch (code) {
    case ENOENT:
    case ENOTDIR: kind = Kind::absent; break;
    case EDEADLK: kind = Kind::notDownloaded; break;
    case EFBIG: kind = Kind::tooLarge; break;
    case EEXIST: kind = Kind::taken; break;
    case ETIMEDOUT: kind = Kind::timedOut; break;
    default: break;
    }
    return Error{kind, std::move(operation), std::move(path), code, {}};
}

std::string Error::message() const {
    if (!detail.empty()) return detail;
    return code != 0 ? std::strerror(code) : "unknown error";
}

std::string Error::describe() const { return operation + " " + path + ": " + message(); }

}  // namespace qs::Platform
