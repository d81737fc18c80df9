// The Win32 face on real windows (under Wine's null display driver in CI),
// driven with the messages the controls send; message boxes are answered
// at once, and the volumes' failures, Notepad, the beeps and the web opener
// go through seams.
#include "window/win32/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/globals.h"
#include "common/identity.h"
#include "fakes.h"
#include "platform/win32/file_service.h"
#include "platform/win32/folder_service.h"
#include "platform/win32/volumes.h"
#include "window/window_fakes.h"

namespace sizewalk::win32 {
namespace {

namespace fs = std::filesystem;

struct Box {
    std::string title, text;
};
std::vector<Box> boxes_seen;  // filled by the hook

std::string TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), text.size())));
    return Narrow(text);
}

// Answers every message box as it appears, noting its title and its text
// (the longest static text in it).
LRESULT CALLBACK AnswerBoxes(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wparam);
        wchar_t window_class[16] = {};
        GetClassNameW(box, window_class, 16);
        if (std::wstring_view(window_class) == L"#32770") {
            Box seen{TextOf(box), ""};
            EnumChildWindows(
                box,
                [](HWND child, LPARAM found) {
                    const std::string text = TextOf(child);
                    auto* longest = reinterpret_cast<std::string*>(found);
                    if (text.size() > longest->size() && text != "OK") {
                        *longest = text;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&seen.text));
            boxes_seen.push_back(seen);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The real drives, with a failure where a test sets one.
class SeamVolumes final : public VolumeService {
  public:
    std::map<std::string, Error> failures;
    std::vector<Volume> Volumes() override { return real_.Volumes(); }
    Outcome<std::string> CurrentDirectory() override { return std::string("C:\\windows"); }
    Outcome<std::vector<std::string>> Subdirectories(const std::string& path) override {
        const auto it = failures.find(path);
        return it != failures.end() ? Outcome<std::vector<std::string>>(it->second)
                                    : real_.Subdirectories(path);
    }

  private:
    Win32VolumeService real_;
};

struct Harness {
    SeamVolumes volumes;
    testing::CountingBeeper beeper;
    testing::RecordingUrls urls;
    testing::WatchedEditor editor;
    Win32FolderService folders;
    Win32FileService files;
    WindowMessageBoxes messages;
    testing::FixedClock clock;
    std::unique_ptr<Win32Window> window;
    HHOOK hook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());

    Harness() {
        TitleLine = ComposeTitleLine(BuiltInIdentity());
        MessageTitle = ComposeMessageTitle(BuiltInIdentity());
        CommandText.clear();
        boxes_seen.clear();
        const Platform platform{folders, files, messages, clock, editor, LocaleSeparators{}};
        window = std::make_unique<Win32Window>(GetModuleHandleW(nullptr),
                                               WindowServices{platform, volumes, beeper, urls, {}});
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
    void Notify(HWND control, int code) const {
        SendMessageW(window->hwnd(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(control), static_cast<WORD>(code)),
                     reinterpret_cast<LPARAM>(control));
    }
    void ChooseDrive(char letter) {
        HWND combo = (*this)["cmbDrive"];
        const std::wstring text = {static_cast<wchar_t>(std::tolower(letter)), L':'};
        SendMessageW(combo, CB_SETCURSEL,
                     SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(text.c_str())),
                     0);
        Notify(combo, CBN_SELCHANGE);
    }
    void Open(const std::string& name) {
        HWND list = (*this)["lstDir"];
        SendMessageW(list, LB_SETCURSEL,
                     SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(Wide(name).c_str())),
                     0);
        Notify(list, LBN_DBLCLK);
    }
    std::string Shown() const { return TextOf((*this)["lblDir"]); }
};

TEST(Win32Window, LayoutFontsAndFrameAt96Dpi) {
    Harness h;
    ASSERT_EQ(h.window->dpi(), 96);
    HWND form = h.window->hwnd();
    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, 397);
    EXPECT_EQ(client.bottom, 362);
    const LONG style = GetWindowLongW(form, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(TextOf(form), TitleLine);
    EXPECT_NE(GetClassLongPtrW(form, GCLP_HICON), 0);
    LOGBRUSH background{};
    GetObjectW(reinterpret_cast<HBRUSH>(GetClassLongPtrW(form, GCLP_HBRBACKGROUND)),
               sizeof background, &background);
    EXPECT_EQ(background.lbColor, RGB(255, 255, 192));

    struct Row {
        const char* name;
        RECT rect;  // left, top, right, bottom
        int height;
        bool bold, italic, underline;
    };
    const Row rows[] = {
        {"lblHelp", {16, 8, 49, 25}, -11, false, false, true},
        {"lblAbout", {64, 8, 105, 25}, -11, false, false, true},
        {"lblWebSite", {272, 8, 385, 25}, -11, false, false, true},
        {"Label1", {16, 32, 297, 49}, -11, true, false, false},
        {"cmbDrive", {16, 48, 385, 69}, -11, false, false, false},
        {"lstDir", {16, 72, 385, 198}, -11, false, false, false},
        {"lblDir", {16, 200, 385, 233}, -11, false, false, false},
        {"optOutputStyle0", {16, 240, 385, 265}, -11, true, false, false},
        {"optOutputStyle1", {16, 264, 385, 289}, -11, true, false, false},
        {"optOutputStyle2", {16, 288, 385, 313}, -11, true, false, false},
        {"btnGo", {16, 328, 89, 353}, -18, false, false, false},
        {"lblWait", {104, 328, 377, 353}, -18, true, true, false},
        {"prgWait", {104, 350, 377, 353}, -11, false, false, false},
    };
    HDC dc = GetDC(form);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HWND control = h[row.name];
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_TRUE(EqualRect(&rect, &row.rect))
            << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
        auto* font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        LOGFONTW wanted{};
        GetObjectW(font, sizeof wanted, &wanted);
        EXPECT_EQ(wanted.lfHeight, row.height);
        EXPECT_EQ(wanted.lfWeight >= FW_BOLD, row.bold);
        EXPECT_EQ(wanted.lfItalic != 0, row.italic);
        EXPECT_EQ(wanted.lfUnderline != 0, row.underline);
        // The face in use is the one asked for, and every caption fits.
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        EXPECT_EQ(Narrow(face), "MS Sans Serif");
        const std::wstring caption = Wide(TextOf(control));
        SIZE extent{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        const bool option = std::string_view(row.name).starts_with("optOutputStyle");
        const int room = row.rect.right - row.rect.left - (option ? 20 : 0);
        EXPECT_LE(extent.cx, room);
        // The wait notice's text ends above the bar.
        EXPECT_LE(extent.cy, std::string_view(row.name) == "lblWait" ? 22 : rect.bottom - rect.top);
        SelectObject(dc, old);
        // Links and the wait notice in blue, every label on the yellow.
        const auto brush = SendMessageW(form, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                        reinterpret_cast<LPARAM>(control));
        const std::string name = row.name;
        const bool blue =
            name == "lblHelp" || name == "lblAbout" || name == "lblWebSite" || name == "lblWait";
        EXPECT_EQ(GetTextColor(dc) == RGB(0, 0, 255), blue);
        EXPECT_EQ(brush, GetClassLongPtrW(form, GCLP_HBRBACKGROUND));
    }
    ReleaseDC(form, dc);
    EXPECT_FALSE(IsWindowVisible(h["lblWait"]));

    // The focus starts on the drive list; Tab visits the inputs in order and
    // enters the option group at its selected button.
    EXPECT_EQ(GetFocus(), h["cmbDrive"]);
    std::vector<HWND> chain = {h["cmbDrive"]};
    for (int i = 0; i < 4; ++i) {
        chain.push_back(GetNextDlgTabItem(form, chain.back(), FALSE));
    }
    EXPECT_EQ(chain, (std::vector<HWND>{h["cmbDrive"], h["lstDir"], h["optOutputStyle0"],
                                        h["btnGo"], h["cmbDrive"]}));
}

TEST(Win32Window, DrivesAsTheClassicListShowsThem) {
    Harness h;
    HWND combo = h["cmbDrive"];
    ASSERT_GE(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(h.Shown(), "C:\\");
    h.ChooseDrive('Z');
    EXPECT_EQ(h.Shown(), "Z:\\");
    wchar_t first[8] = {};
    SendMessageW(h["lstDir"], LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(std::wstring(first), L"z:\\");
    EXPECT_TRUE(boxes_seen.empty());

    // Not ready: the description alone, then back to the drive shown before.
    h.ChooseDrive('C');
    h.volumes.failures["Z:\\"] = Error{errnum::kDeviceUnavailable, "The device is not ready"};
    h.ChooseDrive('Z');
    ASSERT_EQ(boxes_seen.size(), 1u);
    EXPECT_EQ(boxes_seen[0].text, "The device is not ready");
    EXPECT_EQ(boxes_seen[0].title, MessageTitle);
    EXPECT_EQ(h.Shown(), "C:\\");
    wchar_t current[8] = {};
    SendMessageW(combo, CB_GETLBTEXT, SendMessageW(combo, CB_GETCURSEL, 0, 0),
                 reinterpret_cast<LPARAM>(current));
    EXPECT_EQ(std::wstring(current).substr(0, 2), L"c:");
}

TEST(Win32Window, WhichFailuresMeanADriveIsNotReady) {
    const std::vector<std::pair<unsigned long, bool>> codes = {
        {ERROR_NOT_READY, true},       {1112 /* no media */, true},
        {ERROR_BAD_NETPATH, true},     {ERROR_NETWORK_UNREACHABLE, true},
        {ERROR_DEV_NOT_EXIST, true},   {ERROR_NETNAME_DELETED, true},
        {ERROR_PATH_NOT_FOUND, false}, {ERROR_ACCESS_DENIED, false},
        {ERROR_FILE_NOT_FOUND, false},
    };
    for (const auto& [code, not_ready] : codes) {
        EXPECT_EQ(MeansNotReady(code), not_ready) << code;
    }
}

TEST(Win32Window, GoWritesEachStyleThenOpensNotepadAndBeeps) {
    const fs::path tree = R"(C:\sizewalk-window-test)";
    fs::remove_all(tree);
    fs::create_directories(tree / "alpha");
    fs::create_directories(tree / "beta");
    std::ofstream(tree / "alpha" / "a", std::ios::binary) << std::string(1000, 'x');
    struct Case {
        int option;
        const char* file;
        const char* row;
    };
    const Case cases[] = {
        {0, "Sizewalk.txt", "1,000           alpha\r\n"},
        {1, "Sizewalk_20031005.txt", "0               beta\r\n"},
        {2, "Sizewalk.csv", "05/10/2003,1000,alpha\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Harness h;
        h.Open("sizewalk-window-test");
        EXPECT_EQ(h.Shown(), R"(C:\sizewalk-window-test)");
        SendMessageW(h[("optOutputStyle" + std::to_string(c.option)).c_str()], BM_CLICK, 0, 0);
        // Clicks on the disabled Go while the run is on must not start another.
        h.editor.on_open = [&] {
            EXPECT_TRUE(IsWindowVisible(h["lblWait"]));
            EXPECT_FALSE(IsWindowEnabled(h["btnGo"]));
            if (h.editor.opened.size() == 1) {
                PostMessageW(h["btnGo"], WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                PostMessageW(h["btnGo"], WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            }
        };
        SetFocus(h["btnGo"]);
        SendMessageW(h["btnGo"], BM_CLICK, 0, 0);
        Harness::Pump();

        const std::string path = R"(C:\sizewalk-window-test\)" + std::string(c.file);
        EXPECT_EQ(h.editor.opened, std::vector<std::string>{path});
        std::ifstream in(path, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(content.find(c.row), std::string::npos) << content;
        EXPECT_EQ(h.beeper.beeps, 3);
        EXPECT_FALSE(IsWindowVisible(h["lblWait"]));
        EXPECT_TRUE(IsWindowEnabled(h["btnGo"]));
        EXPECT_EQ(GetFocus(), h["btnGo"]);
        EXPECT_TRUE(boxes_seen.empty());
    }
    fs::remove_all(tree);
}

TEST(Win32Window, TheWalkReportsWithinOneSubdirectory) {
    // The window repaints at each report, also in a run whose bulk is one tree.
    const fs::path tree = R"(C:\sizewalk-progress-test)";
    fs::remove_all(tree);
    fs::create_directories(tree / "one" / "a" / "b");
    Win32FolderService folders(std::chrono::milliseconds(0));
    std::vector<std::size_t> reports;
    auto listing = folders.GetFolder(
        tree.string(), [&](const ScanProgress& p) { reports.push_back(p.entries_done); });
    ASSERT_TRUE(listing.ok());
    EXPECT_TRUE(listing.value()->Size(0).ok());
    EXPECT_EQ(reports, (std::vector<std::size_t>{0, 0, 0, 1}));
    fs::remove_all(tree);
}

TEST(Win32Window, AboutHelpAndTheWebSite) {
    Harness h;
    for (const char* link : {"lblAbout", "lblHelp", "lblWebSite"}) {
        SendMessageW(h[link], WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(h[link], WM_LBUTTONUP, 0, 0);
    }
    ASSERT_EQ(boxes_seen.size(), 2u);
    EXPECT_EQ(boxes_seen[0].title, "About " + BuiltInIdentity().product_name);
    EXPECT_EQ(boxes_seen[0].text, AboutText(TitleLine, BuiltInIdentity().contact));
    EXPECT_NE(boxes_seen[0].text.find("\r\nEdition: 'All Windows'\r\n"), std::string::npos);
    EXPECT_EQ(boxes_seen[1].title, MessageTitle);
    EXPECT_EQ(boxes_seen[1].text, HelpText());
    EXPECT_NE(boxes_seen[1].text.find("\r\n  SIZEWALK 2 C:\\  \r\n"), std::string::npos);
    EXPECT_EQ(h.urls.opened, std::vector<std::string>{BuiltInIdentity().website});
    EXPECT_EQ(TextOf(h["lblWebSite"]), "Web: " + std::string("sizewalk.test"));
}

}  // namespace
}  // namespace sizewalk::win32
