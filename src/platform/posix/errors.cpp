#include "platform/posix/errors.h"

#include <cerrno>
#include <cstring>

namespace sizewalk::posix {

std::int32_t RuntimeNumber(int error_code) {
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

Error SystemError(int error_code, std::string_view path) {
    const std::int32_t number = RuntimeNumber(error_code);
    if (number != errnum::kPathFileAccess) {
        return MakeError(number, path);
    }
    // The runtime's "Path/File access error" would hide which of many it is.
    return ErrorAt(number, SystemText(error_code), path);
}

}  // namespace sizewalk::posix
