#include "window/win32/window.h"

#include <algorithm>
#include <cmath>

#include "window/win32/icons.h"

namespace sizewalk::win32 {
namespace {

constexpr wchar_t kClassName[] = L"SizewalkForm1";
constexpr int kFirstId = 100;  // above IDOK and IDCANCEL, which Enter and Escape send
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr COLORREF kBlueText = RGB(kBlue[0], kBlue[1], kBlue[2]);
constexpr COLORREF kBackgroundColor = RGB(kBackground[0], kBackground[1], kBackground[2]);

struct Created {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style = 0;
};

// The classic controls for each kind. Labels start a group each, so that
// the arrow keys move only among the option buttons.
Created ClassOf(const ControlSpec& row, bool first_option) {
    constexpr DWORD kText = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX;
    switch (row.kind) {
        case ControlKind::kLink:
            return {L"STATIC", kText | SS_NOTIFY};
        case ControlKind::kLabel:
            return {L"STATIC", kText};
        case ControlKind::kPathLabel:
            // Breaks a long path anywhere, as an edit control would.
            return {L"STATIC", kText | SS_EDITCONTROL};
        case ControlKind::kWaitNotice:
            return {L"STATIC", kText & ~WS_VISIBLE};
        case ControlKind::kProgressBar:
            return {L"STATIC", WS_CHILD | SS_OWNERDRAW};
        case ControlKind::kDriveList:
            return {L"COMBOBOX", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL |
                                     CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS};
        case ControlKind::kDirectoryList:
            return {L"LISTBOX",
                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL |
                        LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                    WS_EX_CLIENTEDGE};
        case ControlKind::kOption:
            return {L"BUTTON", static_cast<DWORD>(WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON) |
                                   (first_option ? DWORD{WS_GROUP | WS_TABSTOP} : DWORD{0})};
        case ControlKind::kButton:
            return {L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON};
    }
    return {L"STATIC", kText};
}

// Messages a user's mouse or keyboard makes.
bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           message == WM_MOUSEHOVER || message == WM_MOUSELEAVE || message == WM_NCMOUSEHOVER ||
           message == WM_NCMOUSELEAVE || message == WM_INPUT;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

void WindowMessageBoxes::Show(const std::string& text, MessageIcon icon, const std::string& title) {
    UINT type = MB_OK;
    if (icon == MessageIcon::kWarning) {
        type |= MB_ICONWARNING;
    } else if (icon == MessageIcon::kInformation) {
        type |= MB_ICONINFORMATION;
    }
    MessageBoxW(owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr, Wide(text).c_str(),
                Wide(title).c_str(), type);
}

std::wstring FontFace(int dpi) {
    return dpi == 96 ? L"MS Sans Serif" : L"Microsoft Sans Serif";
}

Win32Window::Win32Window(HINSTANCE instance, const WindowServices& services)
    : services_(services), dpi_(ScreenDpi()) {
    background_ = CreateSolidBrush(kBackgroundColor);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &Win32Window::WindowProc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = background_;
    window_class.lpszClassName = kClassName;
    UnregisterClassW(kClassName, instance);  // one registered before, with another brush
    RegisterClassExW(&window_class);

    RECT frame{0, 0, Pixels(kClientWidthTwips), Pixels(kClientHeightTwips)};
    AdjustWindowRectEx(&frame, kFrameStyle, FALSE, 0);
    CreateWindowExW(0, kClassName, L"", kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                    this);
    CreateControls(instance);
    const auto end_program = services.end_program;
    services_.end_program = [this, end_program](int status) {
        exit_status_ = status;
        DestroyWindow(hwnd_);
        if (end_program) {
            end_program(status);
        }
    };
    form_ = std::make_unique<Form1>(*this, services_);
    focus_ = cmbDrive;
}

Win32Window::~Win32Window() {
    if (IsWindow(hwnd_)) {
        DestroyWindow(hwnd_);
    }
    for (HFONT font : fonts_) {
        DeleteObject(font);
    }
    DeleteObject(background_);
}

int Win32Window::Pixels(int twips) const {
    return TwipsToPixels(twips, dpi_);
}

HFONT Win32Window::Font(const FontSpec& wanted) {
    // The window's own default is the same face, regular, at 8.25 points.
    const double points = wanted.points == 0 ? 8.25 : wanted.points;
    HFONT font = CreateFontW(-static_cast<int>(std::lround(points * dpi_ / 72.0)), 0, 0, 0,
                             wanted.bold ? FW_BOLD : FW_NORMAL, wanted.italic, wanted.underline,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, FontFace(dpi_).c_str());
    fonts_.push_back(font);
    return font;
}

void Win32Window::CreateControls(HINSTANCE instance) {
    // A row holds a 16-pixel picture or a line of the default font.
    HFONT default_font = Font({});
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, default_font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    item_height_ = std::max(Pixels(240), static_cast<int>(metrics.tmHeight) + 2);

    int id = kFirstId;
    int options = 0;
    int combo_height = 0;
    for (const ControlSpec& row : Form1Layout()) {
        const Created created = ClassOf(row, options == 0);
        const Twips& place = row.place;
        int height = Pixels(place.height);
        if (row.kind == ControlKind::kDriveList) {
            combo_height = height;
            height += 8 * item_height_;  // the list that drops down
        }
        HWND control = CreateWindowExW(
            created.ex_style, created.window_class, Wide(CaptionOf(row)).c_str(), created.style,
            Pixels(place.left), Pixels(place.top), Pixels(place.width), height, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(row.font)), FALSE);
        controls_[row.name] = control;
        rows_[control] = &row;
        switch (row.kind) {
            case ControlKind::kDriveList:
                cmbDrive = control;
                break;
            case ControlKind::kDirectoryList:
                lstDir = control;
                break;
            case ControlKind::kPathLabel:
                lblDir = control;
                break;
            case ControlKind::kOption:
                optOutputStyle[options++] = control;
                break;
            case ControlKind::kButton:
                btnGo = control;
                break;
            case ControlKind::kWaitNotice:
                lblWait = control;
                break;
            case ControlKind::kProgressBar:
                prgWait = control;
                break;
            default:
                break;
        }
    }
    // The closed drive list is as high as the layout says, however the
    // system sizes an owner-drawn combo box around its field.
    for (int attempt = 0; attempt < 4; ++attempt) {
        RECT combo{};
        GetWindowRect(cmbDrive, &combo);
        const int off = combo_height - (combo.bottom - combo.top);
        if (off == 0) {
            break;
        }
        const auto field = SendMessageW(cmbDrive, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        SendMessageW(cmbDrive, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + off);
    }
    SendMessageW(optOutputStyle[0], BM_SETCHECK, BST_CHECKED, 0);
}

void Win32Window::Show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetFocus(focus_);
}

int Win32Window::Run() {
    quit_on_close_ = true;
    Show();
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog manager moves the focus with Tab and the arrow keys,
        // and turns Enter into IDOK.
        if (!IsDialogMessageW(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return exit_status_;
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    return self->Handle(message, wparam, lparam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            Command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_CTLCOLORSTATIC: {
            // Labels and option buttons show the window's yellow through.
            const auto control = reinterpret_cast<HWND>(lparam);
            const auto row = rows_.find(control);
            const bool blue = row != rows_.end() && (row->second->kind == ControlKind::kLink ||
                                                     row->second->kind == ControlKind::kWaitNotice);
            auto* dc = reinterpret_cast<HDC>(wparam);
            SetTextColor(dc, blue ? kBlueText : GetSysColor(COLOR_WINDOWTEXT));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(background_);
        }
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight =
                static_cast<UINT>(item_height_);
            return TRUE;
        case WM_DRAWITEM:
            Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            return TRUE;
        case WM_SETCURSOR: {
            const auto row = rows_.find(reinterpret_cast<HWND>(wparam));
            if (row != rows_.end() && row->second->kind == ControlKind::kLink) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        }
        case WM_ACTIVATE:
            // The focus comes back where it was when the window was left.
            if (LOWORD(wparam) == WA_INACTIVE) {
                if (HWND focus = GetFocus(); focus != nullptr && IsChild(hwnd_, focus)) {
                    focus_ = focus;
                }
            } else if (focus_ != nullptr) {
                SetFocus(focus_);
                return 0;
            }
            break;
        case WM_CLOSE:
            // A run in progress finishes first; its file must not be cut short.
            if (form_ && form_->running()) {
                return 0;
            }
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            if (quit_on_close_) {
                PostQuitMessage(exit_status_);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void Win32Window::Command(int id, int code, HWND from) {
    if (id == IDOK) {
        // Enter: opens the highlighted directory, or presses Go when it has the focus.
        HWND focus = GetFocus();
        if (focus == lstDir) {
            const auto entry = SendMessageW(lstDir, LB_GETCURSEL, 0, 0);
            if (entry != LB_ERR) {
                form_->DirectoryOpened(static_cast<std::size_t>(entry));
            }
        } else if (focus == btnGo && IsWindowEnabled(btnGo)) {
            form_->btnGo_Click();
        }
        return;
    }
    const auto row = rows_.find(from);
    if (row == rows_.end()) {
        return;
    }
    switch (row->second->kind) {
        case ControlKind::kLink:
            if (code == STN_CLICKED) {
                (*form_.*row->second->click)();
            }
            break;
        case ControlKind::kDriveList: {
            const bool dropped = SendMessageW(cmbDrive, CB_GETDROPPEDSTATE, 0, 0) != 0;
            if (code == CBN_DROPDOWN) {
                form_->DriveListOpening();
            } else if ((code == CBN_SELCHANGE && !dropped) || code == CBN_CLOSEUP) {
                // While the list is open the arrow keys only look around.
                const auto index = SendMessageW(cmbDrive, CB_GETCURSEL, 0, 0);
                if (index != CB_ERR) {
                    form_->DriveChosen(static_cast<std::size_t>(index));
                }
            }
            break;
        }
        case ControlKind::kDirectoryList:
            if (code == LBN_DBLCLK) {
                const auto entry = SendMessageW(lstDir, LB_GETCURSEL, 0, 0);
                if (entry != LB_ERR) {
                    form_->DirectoryOpened(static_cast<std::size_t>(entry));
                }
            }
            break;
        case ControlKind::kButton:
            if (code == BN_CLICKED) {
                form_->btnGo_Click();
            }
            break;
        default:
            break;
    }
}

void Win32Window::Draw(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    const double scale = dpi_ / 96.0;
    if (item.hwndItem == prgWait) {
        FillRect(dc, &rect, background_);
        rect.right =
            rect.left + static_cast<LONG>(std::lround((rect.right - rect.left) * progress_));
        HBRUSH blue = CreateSolidBrush(kBlueText);
        FillRect(dc, &rect, blue);
        DeleteObject(blue);
        return;
    }
    FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const int picture = static_cast<int>(std::lround(16 * scale));
    const int gap = static_cast<int>(std::lround(3 * scale));
    std::wstring text;
    int left = rect.left + gap;
    const int top = rect.top + (rect.bottom - rect.top - picture) / 2;
    if (item.hwndItem == cmbDrive && item.itemID < drives_shown_.size()) {
        const Volume& volume = drives_shown_[item.itemID];
        DrawDrive(dc, left, top, scale, volume.kind);
        text = Wide(DriveText(volume));
    } else if (item.hwndItem == lstDir && item.itemID < entries_shown_.size()) {
        const DirectoryEntry& entry = entries_shown_[item.itemID];
        left += static_cast<int>(std::lround(entry.depth * 8 * scale));
        DrawFolder(dc, left, top, scale, entry.open);
        text = Wide(entry.text);
    } else {
        return;
    }
    RECT text_rect = rect;
    text_rect.left = left + picture + gap;
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    text_rect.right = std::min(rect.right, text_rect.left + extent.cx + 2 * gap);
    if (selected) {
        FillRect(dc, &text_rect, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT inner = text_rect;
    inner.left += gap;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        DrawFocusRect(dc, &text_rect);
    }
}

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
    ThrowAwayInput();
}

void Win32Window::ThrowAwayInput() {
    // Everything else waiting is handled: paint messages for an uncovered
    // window, and what keeps Windows from taking it for hung.
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!IsInput(message.message)) {
            DispatchMessageW(&message);
        }
    }
}

}  // namespace sizewalk::win32
