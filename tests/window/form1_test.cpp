// Form1's behaviour without a toolkit: its controls, volumes, desktop,
// history and the run's file system are replaced.
#include "window/form1.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/reports.h"
#include "window/layout.h"
#include "window/window_fakes.h"

namespace sizewalk {
namespace {

// The controls as a toolkit holds them. Input given while the window is
// busy waits in `queued` until the toolkit takes it, unless Repaint throws
// it away.
class FakeControls final : public Form1Controls {
  public:
    std::string caption, drive, path, label, focus;
    int selected = 0, repaints = 0;
    bool go_enabled = true, wait_shown = false;
    std::pair<std::size_t, std::size_t> progress;
    std::vector<std::function<void()>> queued;

    void SetCaption(const std::string& text) override { caption = text; }
    void ShowDrives(const DriveListState& drives) override { drive = drives.CurrentRoot(); }
    void ShowDirectories(const DirectoryListState& dirs) override { path = dirs.path(); }
    void SetDirLabel(const std::string& text) override { label = text; }
    bool StyleSelected(int index) override { return index == selected; }
    void EnableGo(bool enabled) override { go_enabled = enabled; }
    void FocusGo() override { focus = "btnGo"; }
    void ShowWait(bool shown) override { wait_shown = shown; }
    void ShowProgress(std::size_t done, std::size_t total) override { progress = {done, total}; }
    void Repaint() override {
        ++repaints;
        queued.clear();
    }
};

struct Harness : testing::Desk {
    FakeControls controls;
    std::unique_ptr<Form1> form;
    bool every_report_painted = true;

    // Opens the window on /vol/a/, unless `not_ready` is. Where a run goes,
    // "one" (1,000 bytes), whose measurement reports its progress three times
    // as a walk through a large tree does; notes whether each report was
    // painted at once.
    explicit Harness(const std::string& not_ready = "") {
        if (!not_ready.empty()) {
            Fail(not_ready, errnum::kDeviceUnavailable);
        }
        for (const char* dir : {"/vol/a/", "/vol/b/data/"}) {
            fakes.folders.folders[dir] = {{"one", ByteCount{1000}}};
        }
        fakes.folders.measuring = [this](const ProgressCallback& progress) {
            for (std::uint64_t files = 1; files <= 3; ++files) {
                const int before = controls.repaints;
                progress(ScanProgress{0, files});
                every_report_painted &= controls.repaints > before;
            }
        };
        form = std::make_unique<Form1>(controls, Services(fakes.folders));
        form->Form_Load();
    }
    void Fail(const std::string& path, std::int32_t number) {
        volumes.listings.insert_or_assign(path, MakeError(number, path));
    }
    void Open(const std::string& path) {
        const auto& e = form->directories().entries();
        const auto is = [&](const DirectoryEntry& d) { return d.path == path; };
        form->DirectoryOpened(std::find_if(e.begin(), e.end(), is) - e.begin());
    }
    // The drive list, the directory list and lblDir.
    std::vector<std::string> Shown() const {
        return {controls.drive, controls.path, controls.label};
    }
};

std::string NoHistory(const std::string& dir) {
    return "No size history in " + dir + " yet. Press Go to record the first one.";
}

TEST(Form1, OpensAtTheRootOfTheCurrentVolume) {
    Harness h;
    EXPECT_EQ(h.Shown(), std::vector<std::string>(3, "/vol/a/"));
    h.form->lblHistory_Click();
    EXPECT_EQ(h.Texts(), std::vector{NoHistory("/vol/a/")});
    EXPECT_EQ(h.fakes.messages.shown[0].icon, MessageIcon::kInformation);
    // Read anew when it drops down; the current volume stays while it is current.
    h.volumes.volumes = {{"/", "root"}, {"/vol/c/", "C"}};
    h.form->DriveListOpening();
    ASSERT_EQ(h.form->drives().volumes().size(), 3u);
    EXPECT_EQ(h.form->drives().volumes()[2].root, "/vol/c/");
    EXPECT_EQ(h.controls.drive, "/vol/a/");

    // A volume not ready at load: reported, and the list stays where it was;
    // with lblDir empty the history is the list's.
    Harness unready("/vol/a/");
    unready.form->lblHistory_Click();
    EXPECT_EQ(unready.Texts(), (std::vector<std::string>{"Device unavailable: /vol/a/\r\n\r\n"
                                                         "(Message G68)",
                                                         NoHistory("/vol/a/work/deep/")}));
    EXPECT_EQ(unready.Shown(), (std::vector<std::string>{"/vol/a/", "/vol/a/work/deep", ""}));
}

TEST(Form1, ChangingTheVolume) {
    const std::string b = "Device unavailable: /vol/b/", a = "Device unavailable: /vol/a/";
    const std::string e70 = "Permission denied: /vol/b/\r\n\r\n(Message E70)";
    const int not_ready = errnum::kDeviceUnavailable, denied = errnum::kPermissionDenied;
    // what, failure of /vol/b/ and of /vol/a/ (0: ready), the messages, the
    // drive shown, the directory list and lblDir
    const std::tuple<const char*, int, int, std::vector<std::string>, std::string, std::string>
        cases[] = {
            {"ready", 0, 0, {}, "/vol/b/", "/vol/b/"},
            {"not ready: back to the volume shown before", not_ready, 0, {b}, "/vol/a/", "/vol/a/"},
            {"both not ready: stops", not_ready, not_ready, {b, a}, "/vol/a/", "/vol/a/work"},
            {"another failure: reported, no undoing", denied, 0, {e70}, "/vol/b/", "/vol/a/work"},
        };
    for (const auto& [what, b_error, a_error, messages, drive, shown] : cases) {
        SCOPED_TRACE(what);
        Harness h;
        h.Open("/vol/a/work");
        for (const auto& [path, error] : {std::pair("/vol/b/", b_error), {"/vol/a/", a_error}}) {
            if (error != 0) {
                h.Fail(path, error);
            }
        }
        h.form->DriveChosen(2);
        EXPECT_EQ(h.Texts(), messages);
        for (const testing::ShownMessage& m : h.fakes.messages.shown) {
            EXPECT_EQ(std::pair(m.icon, m.title), std::pair(MessageIcon::kWarning, MessageTitle));
        }
        EXPECT_EQ(h.Shown(), std::vector({drive, shown, shown}));
    }
}

TEST(Form1, OpeningDirectoriesAndWhatTheListShows) {
    Harness h;
    h.Open("/vol/a/work");
    h.Open("/vol/a/work/deep");
    EXPECT_EQ(h.controls.label, "/vol/a/work/deep");
    // The parents down from the root, each a level deeper, then the subdirectories.
    std::vector<std::tuple<std::string, std::size_t, bool>> shown;
    for (const DirectoryEntry& e : h.form->directories().entries()) {
        shown.emplace_back(e.text, e.depth, e.open);
    }
    EXPECT_EQ(shown,
              (decltype(shown){
                  {"/vol/a/", 0, true}, {"work", 1, true}, {"deep", 2, true}, {"x", 3, false}}));
    EXPECT_EQ(h.form->directories().current(), 2u);

    h.Fail("/vol/a/work", errnum::kPermissionDenied);
    h.Open("/vol/a/work");
    EXPECT_EQ(h.Texts(), std::vector<std::string>{"Permission denied: /vol/a/work\r\n\r\n"
                                                  "(Message F70)"});
    EXPECT_EQ(h.controls.label, "/vol/a/work/deep");
}

TEST(Form1, GoRunsTheChosenStyleOnTheShownDirectoryThenShowsItsHistory) {
    // the option chosen, the file in the directory opened before Go, its line
    const std::tuple<int, std::string, std::string> cases[] = {
        {0, "/vol/b/data/Sizewalk.txt", "1,000           one\r\n"},
        {1, "/vol/a/Sizewalk_20031005.txt", "1,000           one\r\n"},
        {2, "/vol/a/Sizewalk.csv", "05/10/2003,1000,one\r\n"},
    };
    for (const auto& [option, file, line] : cases) {
        SCOPED_TRACE(file);
        Harness h;
        if (option == 0) {
            h.form->DriveChosen(2);
            h.Open("/vol/b/data");
        }
        h.controls.selected = option;
        bool busy = false;
        h.desktop.on_edit = [&] {
            busy = h.controls.wait_shown && !h.controls.go_enabled;
            // A click on the disabled Go, which a toolkit may hold back.
            h.controls.queued.push_back([&] { h.form->btnGo_Click(); });
        };
        h.form->btnGo_Click();
        for (const auto& input : std::vector(h.controls.queued)) {
            input();
        }
        EXPECT_NE(h.fakes.files.contents[file].find(line), std::string::npos);
        EXPECT_EQ(h.desktop.edited, std::vector{file});
        EXPECT_TRUE(busy && h.every_report_painted);
        // Idle again, the progress full, the focus on Go, three beeps.
        EXPECT_EQ(std::tuple(h.controls.progress, h.controls.wait_shown, h.controls.go_enabled,
                             h.form->running(), h.controls.focus, h.desktop.beeps),
                  std::tuple(std::pair<std::size_t, std::size_t>(1, 1), false, true, false,
                             std::string("btnGo"), 3));
        // The run just written, as a page with its chart.
        h.form->lblHistory_Click();
        ASSERT_EQ(h.desktop.opened, std::vector<std::string>{"/tmp/page0.html"});
        const std::string& page = h.history.written["/tmp/page0.html"];
        EXPECT_LT(page.find("<svg"), page.find("one</td>"));
        EXPECT_NE(page.find("one</td>"), std::string::npos);
        EXPECT_TRUE(h.fakes.messages.shown.empty() && h.ended.empty());
    }
}

TEST(Form1, AboutHelpAndFailuresEachWithItsHandlersLetter) {
    Harness h;
    const Identity& identity = BuiltInIdentity();
    h.form->lblAbout_Click();
    h.form->lblHelp_Click();
    h.form->lblWebSite_Click();
    h.desktop.open_failure = MakeError(errnum::kPathFileAccess, "xdg-open");
    h.form->lblWebSite_Click();
    h.fakes.files.contents["/vol/a/Sizewalk.csv"] = "05/10/2003,1,a\r\n";
    h.form->lblHistory_Click();
    h.history.failure = MakeError(errnum::kPermissionDenied, "/vol/a/");
    h.form->lblHistory_Click();
    // A fatal failure of the run: reported, and the program ends without beeps.
    h.desktop.edit_failure = MakeError(errnum::kPathNotFound, "notepad");
    h.form->btnGo_Click();
    EXPECT_EQ(h.Texts(),
              (std::vector<std::string>{AboutText(TitleLine, identity.contact), HelpText(),
                                        "Path/File access error: xdg-open\r\n\r\n(Message F75)",
                                        "Path/File access error: xdg-open\r\n\r\n(Message J75)",
                                        "Permission denied: /vol/a/\r\n\r\n(Message J70)",
                                        "Path not found: notepad\r\n\r\n(Message B76)"}));
    const std::vector<testing::ShownMessage>& shown = h.fakes.messages.shown;
    EXPECT_EQ(std::tuple(shown[0].icon, shown[0].title, shown[1].icon, shown[1].title),
              std::tuple(MessageIcon::kInformation, "About " + identity.product_name,
                         MessageIcon::kNone, MessageTitle));
    EXPECT_EQ(h.desktop.opened,
              (std::vector{identity.website, identity.website, std::string("/tmp/page0.html")}));
    EXPECT_EQ(std::tuple(h.ended, h.desktop.beeps, h.controls.wait_shown, h.controls.go_enabled),
              std::tuple(std::vector<int>{kExitFatal}, 0, true, false));
}

// Rounded, not cut, at the DPIs of 125% and 150%: the window, the directory
// list, a label, a level of the list.
TEST(Form1, PixelsAtOtherDpis) {
    EXPECT_EQ(
        std::vector({TwipsToPixels(5955, 120), TwipsToPixels(1890, 120), TwipsToPixels(5955, 144),
                     TwipsToPixels(255, 144), TwipsToPixels(kDirectoryIndentTwips, 144)}),
        std::vector({496, 158, 596, 26, 12}));
}

TEST(Form1, TextsOfTheListsAndTheWebLink) {
    EXPECT_EQ(std::vector({DriveText({"C:\\", "SYSTEM"}),
                           DriveText({"Z:\\", "\\\\server\\share", VolumeKind::kNetwork}),
                           DriveText({"A:\\", ""}), DriveText({"/home/", "sda3"}),
                           HostOf("http://sizewalk.test/"), HostOf("https://a.example:8080/x")}),
              std::vector<std::string>({"c: [SYSTEM]", "z: [\\\\server\\share]",
                                        "a:", "/home/  [sda3]", "sizewalk.test", "a.example"}));
}

}  // namespace
}  // namespace sizewalk
