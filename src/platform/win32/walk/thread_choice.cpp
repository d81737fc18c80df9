#include "platform/win32/walk/thread_choice.h"

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "platform/walk_threads.h"

namespace sizewalk::win32::walk {
namespace {

// Whether `dir`, \\?\ (or \\.\) and a path, lies on a network share.
bool OnNetworkShare(std::wstring_view dir, DriveTypeOf drive_type) {
    const std::wstring_view rest = dir.substr(std::min<std::size_t>(dir.size(), 4));
    if (rest.size() >= 4 && std::towupper(rest[0]) == L'U' && std::towupper(rest[1]) == L'N' &&
        std::towupper(rest[2]) == L'C' && rest[3] == L'\\') {
        return true;
    }
    std::wstring root;
    if (rest.size() >= 2 && rest[1] == L':') {
        root = std::wstring(rest.substr(0, 2)) + L'\\';  // the drive
    } else {
        root = std::wstring(dir.substr(0, dir.find(L'\\', 4))) + L'\\';  // \\?\Volume{...}\ .
    }
    return drive_type(root.c_str()) == DRIVE_REMOTE;
}

}  // namespace

unsigned WalkThreadsFor(const std::wstring& dir, const char* requested, DriveTypeOf drive_type) {
    if (const unsigned count = ParseWalkThreads(requested); count != 0) {
        return count;
    }
    return OnNetworkShare(dir, drive_type) ? kNetworkWalkThreads : LocalWalkThreads();
}

std::string RequestedWalkThreads() {
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"SIZEWALK_THREADS", value, 16);
    return length > 0 && length < 16 ? Narrow(std::wstring_view(value, length)) : std::string();
}

}  // namespace sizewalk::win32::walk
