#include "platform/win32/volumes.h"

#include <algorithm>
#include <cwctype>

#include "platform/win32/errors.h"
#include "platform/win32/long_path.h"
#include "platform/win32/reparse.h"
#include "platform/win32/walk/directory_reader.h"
#include "platform/win32/win.h"

// Included after windows.h.
#include <winnetwk.h>

namespace sizewalk::win32 {
namespace {

// Missing from MinGW's winerror.h.
constexpr unsigned long kErrorNoMediaInDrive = 1112;

// Whether a directory entry is one a directory list shows.
bool IsListedDirectory(const WIN32_FIND_DATAW& entry) {
    const DWORD attributes = entry.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_HIDDEN) != 0) {
        return false;
    }
    return !IsLink(entry);
}

std::string DriveLabel(const std::wstring& root, UINT type) {
    std::wstring label(MAX_PATH + 1, L'\0');
    if (type == DRIVE_REMOTE) {
        DWORD length = static_cast<DWORD>(label.size());
        if (WNetGetConnectionW(root.substr(0, 2).c_str(), label.data(), &length) != NO_ERROR) {
            return {};
        }
    } else if (type == DRIVE_FIXED || type == DRIVE_RAMDISK) {
        if (!GetVolumeInformationW(root.c_str(), label.data(), static_cast<DWORD>(label.size()),
                                   nullptr, nullptr, nullptr, nullptr, 0)) {
            return {};
        }
    } else {
        return {};
    }
    label.resize(wcslen(label.c_str()));
    return Narrow(label);
}

// "C:\\", the root of a drive letter.
bool IsDriveRoot(const std::string& path) {
    return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

}  // namespace

bool MeansNotReady(unsigned long code) {
    switch (code) {
        case ERROR_NOT_READY:
        case kErrorNoMediaInDrive:
        case ERROR_UNRECOGNIZED_VOLUME:
        case ERROR_INVALID_DRIVE:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_REM_NOT_LIST:
        case ERROR_NETWORK_BUSY:
        case ERROR_BAD_NET_RESP:
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_HOST_UNREACHABLE:
        case ERROR_NO_NET_OR_BAD_PATH:
        case ERROR_CONNECTION_UNAVAIL:
        case ERROR_NOT_CONNECTED:
        case ERROR_SEM_TIMEOUT:
            return true;
        default:
            return false;
    }
}

std::vector<Volume> VolumeService::Volumes() {
    std::vector<Volume> volumes;
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0) {
            continue;
        }
        const std::wstring root = {static_cast<wchar_t>(L'A' + i), L':', L'\\'};
        const UINT type = GetDriveTypeW(root.c_str());
        Volume volume{Narrow(root), DriveLabel(root, type)};
        if (type == DRIVE_REMOTE) {
            volume.kind = VolumeKind::kNetwork;
        } else if (type == DRIVE_REMOVABLE) {
            volume.kind = VolumeKind::kRemovable;
        } else if (type == DRIVE_CDROM) {
            volume.kind = VolumeKind::kOptical;
        }
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

Outcome<std::string> VolumeService::CurrentDirectory() {
    std::wstring dir(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data());
        if (length == 0) {
            return SystemError(GetLastError(), ".");
        }
        const bool fits = length < dir.size();
        dir.resize(length);
        if (fits) {
            break;
        }
    }
    // The drive lists name drives by their letter in capitals.
    if (dir.size() > 1 && dir[1] == L':') {
        dir[0] = static_cast<wchar_t>(std::towupper(dir[0]));
    }
    return Narrow(dir);
}

Outcome<std::vector<std::string>> VolumeService::Subdirectories(const std::string& path) {
    Outcome<std::wstring> dir = LongPath(path);
    if (!dir.ok()) {
        return dir.error();
    }
    std::vector<std::wstring> names;
    const DWORD error = walk::ForEachEntry(dir.value(), [&names](const WIN32_FIND_DATAW& entry) {
        if (IsListedDirectory(entry)) {
            names.emplace_back(entry.cFileName);
        }
    });
    if (error != ERROR_SUCCESS) {
        Error failure = SystemError(error, path);
        // A drive letter whose folder is gone (a SUBST, a mapping of a
        // deleted folder) has no root to show: not ready either.
        if (MeansNotReady(error) || (IsDriveRoot(path) && error == ERROR_PATH_NOT_FOUND)) {
            failure.number = errnum::kDeviceUnavailable;
        }
        return failure;
    }
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
    });
    std::vector<std::string> result;
    for (const std::wstring& name : names) {
        result.push_back(Narrow(name));
    }
    return result;
}

}  // namespace sizewalk::win32
