#include "platform/error.h"

#include <algorithm>

#include "platform/paths.h"

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
    return ErrorAt(number, RuntimeErrorText(number), path);
}

Error ErrorAt(std::int32_t number, std::string text, std::string_view path) {
    if (!path.empty()) {
        text += ": ";
        text += ShownPath(path);
    }
    return Error{number, std::move(text)};
}

namespace {

constexpr char kSeparators[] = {'/', kPathSeparator, '\0'};

bool ContinuesCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::string Shortened(std::string_view path) {
    static constexpr std::string_view kGap = "...";
    // The first component with the separators around it, within a quarter.
    std::size_t head = path.find_first_of(kSeparators, path.find_first_not_of(kSeparators));
    head = std::min(path.find_first_not_of(kSeparators, head), kMaxShownPath / 4);
    while (head > 0 && ContinuesCharacter(path[head])) {
        --head;
    }
    // The whole last components that fit, else the end of the last one.
    const std::size_t room = kMaxShownPath - head - kGap.size();
    std::size_t tail = path.size() - room;
    const std::size_t separator = path.find_first_of(kSeparators, tail);
    if (separator != std::string_view::npos &&
        path.find_first_not_of(kSeparators, separator) != std::string_view::npos) {
        tail = separator;
    }
    while (ContinuesCharacter(path[tail])) {
        ++tail;
    }
    return std::string(path.substr(0, head)) + std::string(kGap) + std::string(path.substr(tail));
}

}  // namespace

std::string ShownPath(std::string_view path) {
    std::string shown = path.size() > kMaxShownPath ? Shortened(path) : std::string(path);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!shown.empty() && (blank(shown.front()) || blank(shown.back()))) {
        return '\'' + shown + '\'';
    }
    return shown;
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
