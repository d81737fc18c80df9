#include "platform/error.h"

namespace sizewalk {

std::string RuntimeErrorText(std::int32_t number) {
    switch (number) {
        case errnum::kInvalidArgument:
            return "Invalid procedure call or argument";
        case errnum::kOutOfMemory:
            return "Out of memory";
        case errnum::kInterrupted:
            return "User interrupt occurred";
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
        text += ShownPath(path);
    }
    return Error{number, std::move(text)};
}

std::string ShownPath(std::string_view path) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!path.empty() && (blank(path.front()) || blank(path.back()))) {
        std::string quoted(1, '\'');
        quoted.append(path).push_back('\'');
        return quoted;
    }
    return std::string(path);
}

Error Interrupted(int signal) {
    return Error{errnum::kInterrupted, RuntimeErrorText(errnum::kInterrupted) + " (signal " +
                                           std::to_string(signal) + ")"};
}

Error StartFailure(std::int32_t number, std::string_view program, std::string_view target,
                   std::string_view reason) {
    std::string text = "Could not start " + std::string(program) + " for " + ShownPath(target);
    if (!reason.empty()) {
        text += ": ";
        text += reason;
    }
    return Error{number, std::move(text)};
}

}  // namespace sizewalk
