// The system's modal message box, as the unattended run and the window show it.
#pragma once

#include <string>

#include "platform/message_box.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {

// A box with OK and `icon`, owned by `owner` (may be null); `flags` adds
// MB_ settings. Returns when the user has confirmed it.
inline void ShowSystemMessageBox(HWND owner, const std::string& text, MessageIcon icon,
                                 const std::string& title, UINT flags = 0) {
    switch (icon) {
        case MessageIcon::kWarning:
            flags |= MB_ICONWARNING;
            break;
        case MessageIcon::kInformation:
            flags |= MB_ICONINFORMATION;
            break;
        case MessageIcon::kNone:
            break;
    }
    MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), MB_OK | flags);
}

}  // namespace sizewalk::win32
