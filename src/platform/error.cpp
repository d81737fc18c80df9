#include "platform/error.h"

namespace sizewalk {

std::string RuntimeErrorText(std::int32_t number) {
    switch (number) {
        case errnum::kInvalidArgument:
            return "Invalid procedure call or argument";
        case errnum::kOutOfMemory:
            return "Out of memory";
        case errnum::kInternal:
            return "Internal error";
        case errnum::kDeviceIo:
            return "Device I/O error";
        case errnum::kDiskFull:
            return "Disk full";
        case errnum::kDeviceUnavailable:
            return "Device unavailable";
        case errnum::kPermissionDenied:
            return "Permission denied";
        case errnum::kPathFileAccess:
            return "Path/File access error";
        case errnum::kPathNotFound:
            return "Path not found";
        default:
            return "Application-defined or object-defined error";
    }
}

Error MakeError(std::int32_t number, std::string_view path) {
    std::string text = RuntimeErrorText(number);
    if (!path.empty()) {
        text += ": ";
        text += path;
    }
    return Error{number, std::move(text)};
}

}  // namespace sizewalk
