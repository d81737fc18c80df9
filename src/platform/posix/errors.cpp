#include "platform/posix/errors.h"

#include <cerrno>
#include <cstring>

namespace sizewalk {

std::int32_t RuntimeNumberForErrno(int error_code) {
    switch (error_code) {
        case ENOENT:
        case ENOTDIR:
            return errnum::kPathNotFound;
        case EACCES:
        case EPERM:
            return errnum::kPermissionDenied;
        case ENOSPC:
        case EDQUOT:
            return errnum::kDiskFull;
        case EIO:
            return errnum::kDeviceIo;
        case ENXIO:
        case ENODEV:
        case ENOMEDIUM:
        case ENOTCONN:
        case ESTALE:
            return errnum::kDeviceUnavailable;
        default:
            return errnum::kPathFileAccess;
    }
}

std::string SystemText(int error_code) {
    char buffer[256];
    return strerror_r(error_code, buffer, sizeof buffer);  // GNU: may return its own text
}

Error ErrorFromErrno(int error_code, std::string_view path) {
    const std::int32_t number = RuntimeNumberForErrno(error_code);
    if (number != errnum::kPathFileAccess) {
        return MakeError(number, path);
    }
    // The runtime's "Path/File access error" would hide which of many it is.
    std::string text = SystemText(error_code);
    if (!path.empty()) {
        text += ": " + ShownPath(path);
    }
    return Error{number, std::move(text)};
}

}  // namespace sizewalk
