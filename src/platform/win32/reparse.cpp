#include "platform/win32/reparse.h"

#include <utility>

namespace sizewalk::win32 {

bool IsLink(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           IsReparseTagNameSurrogate(entry.dwReserved0);
}

bool IsLink(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return !GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
           ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            IsReparseTagNameSurrogate(tag.ReparseTag));
}

Opened ThroughFilters(HANDLE& handle, DWORD access, DWORD share) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
        const DWORD error = GetLastError();
        CloseHandle(std::exchange(handle, INVALID_HANDLE_VALUE));
        SetLastError(error);
        return Opened::kFailed;
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return Opened::kFile;
    }
    if (IsReparseTagNameSurrogate(tag.ReparseTag)) {
        return Opened::kLink;
    }
    // Opened for its attributes only, the file is held (no sharing is
    // asked or denied) while it is opened again relative to that handle:
    // nothing can take its name in between.
    const HANDLE held = ReOpenFile(handle, FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   FILE_FLAG_OPEN_REPARSE_POINT);
    CloseHandle(std::exchange(handle, INVALID_HANDLE_VALUE));
    if (held == INVALID_HANDLE_VALUE) {
        return Opened::kFailed;
    }
    handle = ReOpenFile(held, access, share, 0);
    const DWORD error = GetLastError();
    CloseHandle(held);
    SetLastError(error);
    return handle == INVALID_HANDLE_VALUE ? Opened::kFailed : Opened::kFile;
}

}  // namespace sizewalk::win32
