#include "platform/win32/long_path.h"

#include "platform/win32/errors.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {

Outcome<std::wstring> LongPath(const std::string& path) {
    const std::wstring wide = Wide(path);
    if (wide.rfind(LR"(\\?\)", 0) == 0 || wide.rfind(LR"(\\.\)", 0) == 0) {
        return wide;
    }
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos) {
        return SystemError(ERROR_INVALID_NAME, path);
    }
    // Resolves a relative path, "." and "..", and forward slashes, none of
    // which the prefixed form allows.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return SystemError(GetLastError(), path);
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);  // the size needed, with the terminator
    }
    if (full.rfind(LR"(\\)", 0) == 0) {
        return LR"(\\?\UNC\)" + full.substr(2);
    }
    return LR"(\\?\)" + full;
}

std::wstring JoinPath(const std::wstring& dir, std::wstring_view name) {
    std::wstring path = dir;
    if (path.empty() || path.back() != L'\\') {
        path += L'\\';
    }
    path += name;
    return path;
}

}  // namespace sizewalk::win32
