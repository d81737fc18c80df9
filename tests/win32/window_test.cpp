// The Win32 face on real windows (under Wine's null display driver in CI),
// driven with the messages the controls send; message boxes are answered
// at once, and the volumes' failures, Notepad, the beeps and the opener of
// the web site and the history page go through seams.
#include "window/win32/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fakes.h"
#include "platform/win32/file_service.h"
#include "platform/win32/folder_service.h"
#include "platform/win32/volumes.h"
#include "window/window_fakes.h"

namespace sizewalk::win32 {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::vector<std::pair<std::string, std::string>> boxes_seen;  // title and text, by the hook

std::string TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), text.size())));
    return Narrow(text);
}

// Answers every message box as it appears, noting its title and its text.
LRESULT CALLBACK AnswerBoxes(int code, WPARAM wparam, LPARAM lparam) {
    wchar_t window_class[16] = {};
    HWND box = reinterpret_cast<HWND>(wparam);
    if (code == HCBT_ACTIVATE && GetClassNameW(box, window_class, 16) > 0 &&
        std::wstring_view(window_class) == L"#32770") {
        boxes_seen.push_back({TextOf(box), TextOf(GetDlgItem(box, 0xFFFF))});
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

struct Harness {
    VolumeService drives;
    testing::FakeVolumes volumes;  // the real drives, with failures on demand
    testing::FakeDesktop desktop;
    FolderService folders;
    FileService files;
    WindowMessageBoxes messages;
    testing::FixedClock clock;
    std::unique_ptr<HistorySystem> history = MakeSystemHistory();
    std::unique_ptr<Win32Window> window;
    HHOOK hook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());

    Harness() {
        testing::ResetGlobals();
        boxes_seen.clear();
        volumes.volumes = drives.Volumes();
        volumes.cwd = "C:\\windows";
        volumes.real = &drives;
        const Platform platform{folders, files, messages, clock, desktop, LocaleSeparators{}};
        window = std::make_unique<Win32Window>(
            GetModuleHandleW(nullptr),
            WindowServices{platform, volumes, desktop, desktop, *history, {}});
        messages.SetOwner(window->hwnd());
        window->form().Form_Load();
        window->Show();
        Pump();
    }
    ~Harness() { UnhookWindowsHookEx(hook); }

    HWND operator[](const char* name) const { return window->control(name); }
    // What is waiting, delivered as the message loop would.
    static void Pump() {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // The user's choice of the drive list's entry beginning with `text`, or
    // a double click on the directory list's entry `text`.
    void Pick(const std::string& name, const std::string& text) {
        HWND control = (*this)[name.c_str()];
        const bool drive = name == "cmbDrive";
        const auto index =
            SendMessageW(control, drive ? CB_FINDSTRING : LB_FINDSTRINGEXACT,
                         static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Wide(text).c_str()));
        SendMessageW(control, drive ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
        Notify(control, drive ? CBN_SELENDOK : LBN_DBLCLK);
    }
    void Notify(HWND control, WORD code) const {
        SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                     reinterpret_cast<LPARAM>(control));
    }
    // Keys pressed on `to` as the message loop hands them over (the dialog manager first).
    void Keys(HWND to, std::initializer_list<WPARAM> keys) const {
        SetFocus(to);
        for (const WPARAM key : keys) {
            for (MSG message :
                 {MSG{to, WM_KEYDOWN, key, 0, 0, {}}, MSG{to, WM_KEYUP, key, 0, 0, {}}}) {
                IsDialogMessageW(window->hwnd(), &message) || DispatchMessageW(&message);
            }
        }
    }
    void Click(const char* link) const {
        SendMessageW((*this)[link], WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW((*this)[link], WM_LBUTTONUP, 0, 0);
    }
    std::string Shown() const { return TextOf((*this)["lblDir"]); }
};

TEST(Win32Window, LayoutColoursKeysAndDpi) {
    Harness h;
    ASSERT_EQ(h.window->dpi(), 96);
    HWND form = h.window->hwnd();
    RECT client{};
    GetClientRect(form, &client);
    LOGBRUSH background{};
    const auto brush = static_cast<LRESULT>(GetClassLongPtrW(form, GCLP_HBRBACKGROUND));
    GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof background, &background);
    const LONG style = GetWindowLongW(form, GWL_STYLE);
    EXPECT_EQ(std::tuple(client.right, client.bottom, background.lbColor, TextOf(form),
                         GetClassLongPtrW(form, GCLP_HICON) != 0),
              std::tuple(397, 362, RGB(255, 255, 192), TitleLine, true));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU);

    EXPECT_EQ(std::size(testing::kPixelLayout), Form1Layout().size());
    // Where a control sits, and its font's height in pixels.
    const auto placed = [form](HWND control, LOGFONTW& f) {
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof f, &f);
        return std::tuple(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                          -f.lfHeight);
    };
    HDC dc = GetDC(form);
    for (const testing::PixelRow& row : testing::kPixelLayout) {
        HWND control = h[row.name];
        auto* font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        LOGFONTW f{};
        const auto place = placed(control, f);
        // Links and the wait notice in blue, every label on the yellow.
        const auto painted = SendMessageW(form, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(control));
        // The window's default is "MS Sans Serif" 8.25 points too.
        EXPECT_EQ(std::tuple_cat(
                      place, std::tuple(f.lfWeight >= FW_BOLD, f.lfItalic != 0, f.lfUnderline != 0,
                                        GetTextColor(dc) == RGB(0, 0, 255), painted)),
                  std::tuple(row.left, row.top, row.width, row.height, row.points == 13.5 ? 18 : 11,
                             testing::Has(row, 'b'), testing::Has(row, 'i'), testing::Has(row, 'u'),
                             testing::Has(row, 'B'), brush))
            << row.name;
        // The face in use is the one asked for, and every caption fits (the
        // wait notice's text above the bar).
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        const std::wstring caption = Wide(TextOf(control));
        SIZE size{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        SelectObject(dc, old);
        const bool option = std::string_view(row.name).starts_with("optOutputStyle");
        EXPECT_EQ(Narrow(face), "MS Sans Serif") << row.name;
        EXPECT_LE(size.cx, row.width - (option ? 20 : 0)) << row.name;
        EXPECT_LE(size.cy, std::string_view(row.name) == "lblWait" ? 22 : row.height) << row.name;
    }
    // The prompt's box reaches into the drive list's top border, which stays drawn.
    EXPECT_NE(GetPixel(dc, 100, 48), RGB(255, 255, 192));
    // Under a high-contrast theme the texts and the background take the system's colours.
    h.window->ApplyTheme(true);
    std::vector<COLORREF> colours;
    for (const char* name : {"Label1", "lblHelp", "lblWait"}) {
        SendMessageW(form, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(h[name]));
        colours.push_back(GetTextColor(dc));
    }
    GetObjectW(reinterpret_cast<HBRUSH>(GetClassLongPtrW(form, GCLP_HBRBACKGROUND)),
               sizeof background, &background);
    colours.push_back(background.lbColor);
    EXPECT_EQ(colours, (std::vector{GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_HOTLIGHT),
                                    GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)}));
    ReleaseDC(form, dc);
    EXPECT_FALSE(IsWindowVisible(h["lblWait"]));

    // The focus starts on the drive list; Tab visits the inputs in order,
    // entering the option group at its selected button, then the links.
    std::vector<HWND> chain = {GetFocus()};
    for (int i = 0; i < 8; ++i) {
        chain.push_back(GetNextDlgTabItem(form, chain.back(), FALSE));
    }
    EXPECT_EQ(chain, (std::vector<HWND>{h["cmbDrive"], h["lstDir"], h["optOutputStyle0"],
                                        h["btnGo"], h["lblHelp"], h["lblAbout"], h["lblWebSite"],
                                        h["lblHistory"], h["cmbDrive"]}));
    // Enter or the space bar follows the link that has the focus.
    h.Keys(h["lblHelp"], {VK_RETURN});
    h.Keys(h["lblAbout"], {VK_SPACE});
    ASSERT_EQ(boxes_seen.size(), 2u);
    EXPECT_EQ(std::pair(boxes_seen[0].first, boxes_seen[1].first),
              std::pair(MessageTitle, "About " + BuiltInIdentity().product_name));

    // Moved to a monitor of 144 dpi, the window is laid out anew at that DPI;
    // the closed drive list is no lower than the system makes it for its font.
    RECT rect{10, 10, 700, 700};
    SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&rect));
    GetClientRect(form, &rect);
    EXPECT_EQ(std::tuple(h.window->dpi(), rect.right, rect.bottom), std::tuple(144, 596, 543));
    for (const ControlSpec& row : Form1Layout()) {
        LOGFONTW f{};
        auto place = placed(h[row.name], f);
        if (row.kind == ControlKind::kDriveList) {
            std::get<3>(place) = std::min(std::get<3>(place), 32L);
        }
        const auto at144 = [](int twips) { return TwipsToPixels(twips, 144); };
        EXPECT_EQ(place,
                  std::tuple(at144(row.place.left), at144(row.place.top), at144(row.place.width),
                             at144(row.place.height), row.font.points == 13.5 ? 27 : 17))
            << row.name;
    }
}

// A path too deep for the label's two lines shows its end after an ellipsis,
// as much of it as fits.
TEST(Win32Window, ADeepPathShowsItsLastPart) {
    Harness h;
    std::wstring deep = L"C:";
    for (int i = 0; i < 20; ++i) {
        deep += L"\\folder" + std::to_wstring(i);
    }
    HWND label = h["lblDir"];
    RECT box{};
    GetClientRect(label, &box);
    HDC dc = GetDC(label);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    const std::wstring shown = PathToShow(dc, deep, box);
    // A text that fits comes back whole.
    EXPECT_TRUE(shown.starts_with(L"\u2026") && deep.ends_with(shown.substr(1))) << Narrow(shown);
    EXPECT_EQ(std::pair(PathToShow(dc, shown, box), PathToShow(dc, L"C:\\folder0", box)),
              std::pair(shown, std::wstring(L"C:\\folder0")));
    ReleaseDC(label, dc);
}

TEST(Win32Window, DrivesAndLinks) {
    // Q: stands for a folder that is gone (a SUBST of a removed folder).
    const fs::path gone = R"(C:\sizewalk-gone)";
    fs::create_directory(gone);
    while (DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr)) {  // left by an earlier run
    }
    ASSERT_TRUE(DefineDosDeviceW(0, L"Q:", gone.c_str())) << GetLastError();
    fs::remove(gone);
    Harness h;
    EXPECT_EQ(h.Shown(), "C:\\");
    h.Pick("cmbDrive", "z:");
    EXPECT_EQ(h.Shown(), "Z:\\");
    wchar_t first[8] = {};
    SendMessageW(h["lstDir"], LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(std::wstring(first), L"z:\\");
    // Escape (or a click elsewhere) in the open list keeps the drive: Windows
    // cancels with the entry looked at still selected (Wine puts the old one
    // back first). Enter there takes it.
    h.Keys(h["cmbDrive"], {VK_F4, VK_HOME});
    for (const WORD code : {CBN_SELENDCANCEL, CBN_CLOSEUP}) {
        h.Notify(h["cmbDrive"], code);
    }
    h.Keys(h["cmbDrive"], {VK_ESCAPE});
    EXPECT_EQ(std::pair(h.Shown(), TextOf(h["cmbDrive"]).substr(0, 2)), std::pair("Z:\\"s, "z:"s));
    h.Keys(h["cmbDrive"], {VK_F4, VK_HOME, VK_RETURN});
    EXPECT_EQ(std::pair(h.Shown(), TextOf(h["cmbDrive"]).substr(0, 2)), std::pair("C:\\"s, "c:"s));
    // A dead drive letter is not ready: the description alone, then back to
    // the drive shown before.
    h.Pick("cmbDrive", "q:");
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
    EXPECT_EQ(std::pair(h.Shown(), TextOf(h["cmbDrive"]).substr(0, 2)), std::pair("C:\\"s, "c:"s));

    for (const char* link : {"lblAbout", "lblHelp", "lblHistory", "lblWebSite"}) {
        h.Click(link);
    }
    ASSERT_EQ(boxes_seen.size(), 4u);
    const auto& [not_ready, about, help, history] =
        std::tie(boxes_seen[0], boxes_seen[1], boxes_seen[2], boxes_seen[3]);
    EXPECT_EQ(
        std::tuple(not_ready.first, not_ready.second.substr(not_ready.second.size() - 5),
                   about.first, help.first, history.second),
        std::tuple(MessageTitle, ": Q:\\"s, "About " + BuiltInIdentity().product_name, MessageTitle,
                   "No size history in C:\\ yet. Press Go to record the first one."));
    EXPECT_NE(about.second.find("\r\nEdition: 'All Windows'\r\n"), std::string::npos);
    // The version resource names the maker the About box shows.
    wchar_t program[MAX_PATH] = {}, *company = nullptr;
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::vector<char> version(GetFileVersionInfoSizeW(program, nullptr));
    UINT length = 0;
    ASSERT_TRUE(GetFileVersionInfoW(program, 0, version.size(), version.data()) &&
                VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\CompanyName",
                               reinterpret_cast<void**>(&company), &length));
    EXPECT_NE(about.second.find(" " + Narrow(company) + "\r\n"), std::string::npos)
        << Narrow(company);
    EXPECT_NE(help.second.find("\r\n  SIZEWALK 2 C:\\  \r\n"), std::string::npos);
    EXPECT_EQ(h.desktop.opened, std::vector<std::string>{BuiltInIdentity().website});
    EXPECT_EQ(TextOf(h["lblWebSite"]), "Web: sizewalk.test");
}

TEST(Win32Window, WhichFailuresMeanADriveIsNotReady) {
    std::string answers;  // no media is 1112
    for (const unsigned long code :
         {ERROR_NOT_READY, 1112L, ERROR_BAD_NETPATH, ERROR_NETWORK_UNREACHABLE, ERROR_DEV_NOT_EXIST,
          ERROR_NETNAME_DELETED, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}) {
        answers += MeansNotReady(code) ? 'y' : 'n';
    }
    EXPECT_EQ(answers, "yyyyyynnn");
}

TEST(Win32Window, GoWritesEachStyleThenOpensNotepadBeepsAndShowsTheHistory) {
    const fs::path tree = R"(C:\sizewalk-window-test)";
    fs::remove_all(tree);
    fs::create_directories(tree / "alpha");
    std::ofstream(tree / "alpha" / "a", std::ios::binary) << std::string(1000, 'x');
    const char* files[] = {"Sizewalk.txt", "Sizewalk_20031005.txt", "Sizewalk.csv"};
    static HANDLE held = nullptr;
    for (int option = 0; option < 3; ++option) {
        SCOPED_TRACE(option);
        Harness h;
        h.Pick("lstDir", "sizewalk-window-test");
        SendMessageW(h[("optOutputStyle" + std::to_string(option)).c_str()], BM_CLICK, 0, 0);
        // The last run finds its file held open elsewhere; while it waits,
        // the window handles its messages: here a timer that lets the file go.
        if (option == 2) {
            held = CreateFileW((tree / files[2]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               0, nullptr);
            SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
                KillTimer(nullptr, timer);
                CloseHandle(std::exchange(held, nullptr));
            });
        }
        // Clicks on the disabled Go while the run is on must not start another.
        h.desktop.on_edit = [&] {
            EXPECT_TRUE(IsWindowVisible(h["lblWait"]) && !IsWindowEnabled(h["btnGo"]));
            if (h.desktop.edited.size() == 1) {
                PostMessageW(h["btnGo"], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                PostMessageW(h["btnGo"], WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            }
        };
        SetFocus(h["btnGo"]);
        SendMessageW(h["btnGo"], BM_CLICK, 0, 0);
        Harness::Pump();
        EXPECT_EQ(h.desktop.edited, std::vector{(tree / files[option]).string()});
        EXPECT_EQ(std::tuple(h.desktop.beeps, IsWindowVisible(h["lblWait"]),
                             IsWindowEnabled(h["btnGo"]), GetFocus()),
                  std::tuple(3, FALSE, TRUE, h["btnGo"]));
        // The runs so far, read back into a page.
        h.Click("lblHistory");
        ASSERT_EQ(h.desktop.opened.size(), 1u);
        const std::string page(
            std::istreambuf_iterator<char>(std::ifstream(h.desktop.opened[0]).rdbuf()), {});
        EXPECT_NE(page.find("alpha</td>"), std::string::npos);
        fs::remove(h.desktop.opened[0]);
        EXPECT_TRUE(boxes_seen.empty());
    }
    EXPECT_EQ(held, nullptr);
    fs::remove_all(tree);
}

}  // namespace
}  // namespace sizewalk::win32
