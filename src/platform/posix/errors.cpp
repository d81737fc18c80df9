#include "platform/posix/errors.h"

#include <cerrno>

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

Error ErrorFromErrno(int error_code, std::string_view path) {
    return MakeError(RuntimeNumberForErrno(error_code), path);
}

}  // namespace sizewalk
