// What Form1 asks of the Win32 face's controls (Form1Controls).
#include "platform/win32/message_pump.h"
#include "window/win32/window.h"

namespace sizewalk::win32 {

void Win32Window::SetCaption(const std::string& caption) {
    SetWindowTextW(hwnd_, Wide(caption).c_str());
}

void Win32Window::ShowDrives(const DriveListState& drives) {
    std::vector<std::wstring> texts;
    for (const Volume& volume : drives.volumes()) {
        texts.push_back(Wide(DriveText(volume)));
    }
    drives_shown_ = drives.volumes();
    bool same = SendMessageW(cmbDrive, CB_GETCOUNT, 0, 0) == static_cast<LRESULT>(texts.size());
    for (std::size_t i = 0; same && i < texts.size(); ++i) {
        std::wstring shown(
            static_cast<std::size_t>(SendMessageW(cmbDrive, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        SendMessageW(cmbDrive, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(shown.data()));
        same = shown.c_str() == texts[i];
    }
    if (!same) {
        SendMessageW(cmbDrive, CB_RESETCONTENT, 0, 0);
        for (const std::wstring& text : texts) {
            SendMessageW(cmbDrive, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    SendMessageW(cmbDrive, CB_SETCURSEL,
                 drives.current() == kNoEntry ? static_cast<WPARAM>(-1) : drives.current(), 0);
}

void Win32Window::ShowDirectories(const DirectoryListState& directories) {
    entries_shown_ = directories.entries();
    SendMessageW(lstDir, WM_SETREDRAW, FALSE, 0);
    SendMessageW(lstDir, LB_RESETCONTENT, 0, 0);
    for (const DirectoryEntry& entry : entries_shown_) {
        SendMessageW(lstDir, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry.text).c_str()));
    }
    // The parents stay in sight unless the path is too deep for them all.
    SendMessageW(lstDir, LB_SETCURSEL, directories.current(), 0);
    SendMessageW(lstDir, LB_SETTOPINDEX, 0, 0);
    SendMessageW(lstDir, LB_SETCURSEL, directories.current(), 0);
    SendMessageW(lstDir, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(lstDir, nullptr, TRUE);
}

void Win32Window::SetDirLabel(const std::string& caption) {
    SetWindowTextW(lblDir, Wide(caption).c_str());
    InvalidateRect(lblDir, nullptr, FALSE);  // owner-drawn: the text alone does not repaint it
}

bool Win32Window::StyleSelected(int index) {
    return SendMessageW(optOutputStyle[index], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Window::EnableGo(bool enabled) {
    EnableWindow(btnGo, enabled);
}

void Win32Window::FocusGo() {
    SetFocus(btnGo);
    focus_ = btnGo;
}

void Win32Window::ShowWait(bool shown) {
    progress_ = 0;
    ShowWindow(lblWait, shown ? SW_SHOW : SW_HIDE);
    ShowWindow(prgWait, shown ? SW_SHOW : SW_HIDE);
}

void Win32Window::ShowProgress(std::size_t done, std::size_t total) {
    progress_ = total == 0 ? 0.0 : static_cast<double>(done) / static_cast<double>(total);
    InvalidateRect(prgWait, nullptr, FALSE);
}

void Win32Window::Repaint() {
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Everything else waiting is handled too: paint messages for an
    // uncovered window, and what keeps Windows from taking it for hung.
    DispatchAllButInput();
}

}  // namespace sizewalk::win32
