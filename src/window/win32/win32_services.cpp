#include "window/win32/win32_services.h"

#include "platform/win32/errors.h"
#include "platform/win32/win.h"

// Included after windows.h.
#include <objbase.h>
#include <shellapi.h>

namespace sizewalk::win32 {

void Win32Beeper::Beep() {
    MessageBeep(MB_OK);
}

Status ShellUrlOpener::OpenUrl(const std::string& url) {
    // Some URL handlers want a single-threaded apartment; a second call
    // only counts up.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) {
        return std::nullopt;
    }
    // The old codes below 32 are the system's error numbers, except these.
    unsigned long code = static_cast<unsigned long>(result);
    switch (result) {
        case 0:
            code = ERROR_NOT_ENOUGH_MEMORY;
            break;
        case SE_ERR_NOASSOC:
        case SE_ERR_ASSOCINCOMPLETE:
            code = ERROR_NO_ASSOCIATION;
            break;
        case SE_ERR_DDETIMEOUT:
        case SE_ERR_DDEFAIL:
        case SE_ERR_DDEBUSY:
            code = ERROR_DDE_FAIL;
            break;
        case SE_ERR_SHARE:
            code = ERROR_SHARING_VIOLATION;
            break;
        case SE_ERR_DLLNOTFOUND:
            code = ERROR_DLL_NOT_FOUND;
            break;
        default:
            break;
    }
    return SystemError(code, url);
}

}  // namespace sizewalk::win32
