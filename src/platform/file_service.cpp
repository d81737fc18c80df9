#include "platform/file_service.h"

namespace sizewalk {
namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kRandomLength = 6;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string TemporaryName(std::string_view name, unsigned long long seed) {
    std::string temporary(1, '.');
    temporary.append(name).push_back('.');
    for (std::size_t i = 0; i < kRandomLength; ++i) {
        temporary += kLetters[seed % 36];
        seed /= 36;
    }
    return temporary;
}

bool IsTemporaryOfKind(std::string_view entry, std::string_view name) {
    if (entry.size() != name.size() + 2 + kRandomLength || entry.front() != '.' ||
        entry[name.size() + 1] != '.') {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = entry[i + 1];
        if (c != name[i] && !(IsDigit(c) && IsDigit(name[i]))) {
            return false;
        }
    }
    return entry.substr(name.size() + 2).find_first_not_of(kLetters) == std::string_view::npos;
}

bool FileService::Holds(std::string_view) const {
    return true;
}

std::string FileService::Encode(std::string_view text) const {
    return std::string(text);
}

Error HeldByAnotherProcess(const std::string& path) {
    return Error{errnum::kPermissionDenied,
                 "The file is locked by another process: " + ShownPath(path)};
}

}  // namespace sizewalk
