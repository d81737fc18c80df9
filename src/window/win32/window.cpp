#include "window/win32/window.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/win32/message_box.h"
#include "window/win32/icons.h"

namespace sizewalk::win32 {
namespace {

constexpr wchar_t kClassName[] = L"SizewalkForm1";
constexpr int kFirstId = 100;  // above IDOK and IDCANCEL, which Enter and Escape send
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

struct Created {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style = 0;
};

// The classic controls for each kind. Labels start a group each, so that
// the arrow keys move only among the option buttons, and paint below the
// controls they touch (the prompt's box reaches into the drive list's
// border). The links are buttons that look like links, so that Tab reaches
// them after Go, and Enter or the space bar follows one.
Created ClassOf(const ControlSpec& row, bool first_option) {
    constexpr DWORD kText =
        WS_CHILD | WS_VISIBLE | WS_GROUP | WS_CLIPSIBLINGS | SS_LEFT | SS_NOPREFIX;
    switch (row.kind) {
        case ControlKind::kLink:
            return {L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_OWNERDRAW};
        case ControlKind::kLabel:
            return {L"STATIC", kText};
        case ControlKind::kPathLabel:
            // Drawn here: a path too deep for its two lines shows its end.
            return {L"STATIC", (kText & ~SS_LEFT) | SS_OWNERDRAW};
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

// The DPI of the monitor the window is on (Windows 10 1607 on); the
// system's before that.
int DpiOf(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    const auto get_dpi = reinterpret_cast<GetDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (const UINT dpi = get_dpi != nullptr ? get_dpi(window) : 0; dpi > 0) {
        return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

void WindowMessageBoxes::Show(const std::string& text, MessageIcon icon, const std::string& title) {
    ShowSystemMessageBox(owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr, text, icon,
                         title);
}

std::wstring FontFace(int dpi) {
    return dpi == 96 ? L"MS Sans Serif" : L"Microsoft Sans Serif";
}

Win32Window::Win32Window(HINSTANCE instance, const WindowServices& services) : services_(services) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &Win32Window::WindowProc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kClassName;
    UnregisterClassW(kClassName, instance);  // one registered before, with another brush
    RegisterClassExW(&window_class);

    CreateWindowExW(0, kClassName, L"", kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                    nullptr, instance, this);
    dpi_ = DpiOf(hwnd_);
    ApplyTheme(HighContrastOn());
    CreateControls(instance);
    Layout();
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
    // The window's own default is the same face, regular, at the dialog font's size.
    const double points = wanted.points == 0 ? kDialogFontPoints : wanted.points;
    HFONT font = CreateFontW(-static_cast<int>(std::lround(points * dpi_ / 72.0)), 0, 0, 0,
                             wanted.bold ? FW_BOLD : FW_NORMAL, wanted.italic, wanted.underline,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, FontFace(dpi_).c_str());
    fonts_.push_back(font);
    return font;
}

void Win32Window::ApplyTheme(bool high_contrast) {
    palette_ = PaletteFor(high_contrast);
    HBRUSH old = std::exchange(background_, CreateSolidBrush(palette_.background));
    SetClassLongPtrW(hwnd_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(background_));
    if (old != nullptr) {
        DeleteObject(old);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Win32Window::CreateControls(HINSTANCE instance) {
    int id = kFirstId;
    int options = 0;
    for (const ControlSpec& row : Form1Layout()) {
        const Created created = ClassOf(row, options == 0);
        HWND control = CreateWindowExW(
            created.ex_style, created.window_class, Wide(CaptionOf(row)).c_str(), created.style, 0,
            0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
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
    SendMessageW(optOutputStyle[0], BM_SETCHECK, BST_CHECKED, 0);
}

void Win32Window::Layout() {
    std::vector<HFONT> old_fonts = std::move(fonts_);
    fonts_.clear();
    // A row holds a 16-pixel picture or a line of the default font.
    HFONT default_font = Font({});
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, default_font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    item_height_ = std::max(Pixels(240), static_cast<int>(metrics.tmHeight) + 2);

    // The client area as the layout says; the frame is what the system adds.
    RECT window{};
    RECT client{};
    GetWindowRect(hwnd_, &window);
    GetClientRect(hwnd_, &client);
    SetWindowPos(hwnd_, nullptr, 0, 0,
                 Pixels(kClientWidthTwips) + (window.right - window.left) - client.right,
                 Pixels(kClientHeightTwips) + (window.bottom - window.top) - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const auto& [control, row] : rows_) {
        const Twips& place = row->place;
        // The drive list's height includes the list that drops down.
        const int drop = row->kind == ControlKind::kDriveList ? 8 * item_height_ : 0;
        MoveWindow(control, Pixels(place.left), Pixels(place.top), Pixels(place.width),
                   Pixels(place.height) + drop, FALSE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(row->font)), FALSE);
    }
    SendMessageW(cmbDrive, CB_SETITEMHEIGHT, 0, item_height_);
    SendMessageW(lstDir, LB_SETITEMHEIGHT, 0, item_height_);
    // The closed drive list is as high as the layout says, however the
    // system sizes an owner-drawn combo box around its field.
    const int combo_height = Pixels(rows_.at(cmbDrive)->place.height);
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
    for (HFONT font : old_fonts) {
        DeleteObject(font);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
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
            // Labels and option buttons show the window's background through.
            const ControlKind kind = KindOf(reinterpret_cast<HWND>(lparam));
            auto* dc = reinterpret_cast<HDC>(wparam);
            SetTextColor(dc, kind == ControlKind::kLink         ? palette_.link
                             : kind == ControlKind::kWaitNotice ? palette_.wait
                                                                : palette_.text);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(background_);
        }
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            ApplyTheme(HighContrastOn());
            break;
        case WM_DPICHANGED: {
            // Moved to a monitor of another DPI: where Windows suggests, laid
            // out anew at that DPI.
            dpi_ = LOWORD(wparam);
            const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
            SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top,
                         suggested.right - suggested.left, suggested.bottom - suggested.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            return 0;
        }
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight =
                static_cast<UINT>(item_height_);
            return TRUE;
        case WM_DRAWITEM:
            Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            return TRUE;
        case WM_SETCURSOR: {
            if (KindOf(reinterpret_cast<HWND>(wparam)) == ControlKind::kLink) {
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

ControlKind Win32Window::KindOf(HWND control) const {
    const auto row = rows_.find(control);
    return row != rows_.end() ? row->second->kind : ControlKind::kLabel;
}

void Win32Window::Command(int id, int code, HWND from) {
    if (id == IDOK) {
        // Enter: opens the highlighted directory, presses Go when it has the
        // focus, follows a link that has it.
        HWND focus = GetFocus();
        if (focus == lstDir) {
            const auto entry = SendMessageW(lstDir, LB_GETCURSEL, 0, 0);
            if (entry != LB_ERR) {
                form_->DirectoryOpened(static_cast<std::size_t>(entry));
            }
        } else if (focus == btnGo && IsWindowEnabled(btnGo)) {
            form_->btnGo_Click();
        } else if (KindOf(focus) == ControlKind::kLink) {
            (*form_.*rows_.at(focus)->click)();
        }
        return;
    }
    const auto row = rows_.find(from);
    if (row == rows_.end()) {
        return;
    }
    switch (row->second->kind) {
        case ControlKind::kLink:
            if (code == BN_CLICKED) {
                (*form_.*row->second->click)();
            }
            break;
        case ControlKind::kDriveList:
            if (code == CBN_DROPDOWN) {
                form_->DriveListOpening();
            } else if (code == CBN_SELENDOK) {
                // A choice: a click in the open list, Enter there, or an
                // arrow key on the closed one. The arrow keys in the open
                // list only look around.
                const auto index = SendMessageW(cmbDrive, CB_GETCURSEL, 0, 0);
                if (index != CB_ERR) {
                    form_->DriveChosen(static_cast<std::size_t>(index));
                }
            } else if (code == CBN_SELENDCANCEL) {
                // Escape, or a click elsewhere: the drive stays as it was.
                ShowDrives(form_->drives());
            }
            break;
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
    const double scale = dpi_ / 96.0;
    const ControlKind kind = KindOf(item.hwndItem);
    if (kind == ControlKind::kLink) {
        DrawLink(item, palette_, background_);
    } else if (kind == ControlKind::kPathLabel) {
        DrawPathLabel(item, palette_, background_);
    } else if (kind == ControlKind::kProgressBar) {
        DrawBar(item, palette_, background_, progress_);
    } else if (item.hwndItem == cmbDrive && item.itemID < drives_shown_.size()) {
        const Volume& volume = drives_shown_[item.itemID];
        DrawListEntry(item, scale, 0, Wide(DriveText(volume)), [&](HDC dc, int left, int top) {
            DrawDrive(dc, left, top, scale, volume.kind);
        });
    } else if (item.hwndItem == lstDir && item.itemID < entries_shown_.size()) {
        const DirectoryEntry& entry = entries_shown_[item.itemID];
        DrawListEntry(item, scale, static_cast<int>(entry.depth) * Pixels(kDirectoryIndentTwips),
                      Wide(entry.text), [&](HDC dc, int left, int top) {
                          DrawFolder(dc, left, top, scale, entry.open);
                      });
    } else {
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
    }
}

}  // namespace sizewalk::win32
