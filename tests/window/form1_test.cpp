// Form1's behaviour without a toolkit: its controls, volumes, beeps, opener,
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

// A directory holding "one" (1,000 bytes), whose measurement reports its
// progress three times as a walk through a large tree does; notes whether
// each report was painted at once.
class SlowFolders final : public FolderService {
  public:
    explicit SlowFolders(const int& repaints) : repaints_(repaints) {}
    bool every_report_painted = true;

    Outcome<std::unique_ptr<FolderListing>> GetFolder(const std::string&,
                                                      ProgressCallback progress) override {
        progress_ = std::move(progress);
        return std::unique_ptr<FolderListing>(std::make_unique<Listing>(*this));
    }

  private:
    struct Listing final : FolderListing {
        explicit Listing(SlowFolders& owner) : owner(owner) {}
        const std::vector<std::string>& SubFolders() const override { return owner.names_; }
        Outcome<ByteCount> Size(std::size_t) override {
            for (std::uint64_t files = 1; files <= 3; ++files) {
                const int before = owner.repaints_;
                owner.progress_(ScanProgress{0, files});
                owner.every_report_painted &= owner.repaints_ > before;
            }
            return ByteCount{1000};
        }
        SlowFolders& owner;
    };
    const int& repaints_;
    ProgressCallback progress_;
    std::vector<std::string> names_{"one"};
};

struct Harness : testing::Desk {
    FakeControls controls;
    SlowFolders folders{controls.repaints};
    std::unique_ptr<Form1> form;

    // Opens the window on /vol/a/, unless `not_ready` is.
    explicit Harness(const std::string& not_ready = "") {
        if (!not_ready.empty()) {
            Fail(not_ready, errnum::kDeviceUnavailable);
        }
        form = std::make_unique<Form1>(controls, Services(folders));
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
};

std::string NoHistory(const std::string& dir) {
    return "No size history in " + dir + " yet. Press Go to record the first one.";
}

TEST(Form1, OpensAtTheRootOfTheCurrentVolume) {
    Harness h;
    EXPECT_EQ(std::vector({h.controls.drive, h.controls.path, h.controls.label}),
              std::vector<std::string>(3, "/vol/a/"));
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
    EXPECT_EQ(unready.form->directories().path(), "/vol/a/work/deep");
    EXPECT_EQ(unready.controls.label, "");
}

TEST(Form1, ChangingTheVolume) {
    struct Case {
        const char* what;
        std::int32_t b_error;  // 0: /vol/b/ is ready
        bool a_fails_too;
        std::vector<std::string> messages;
        std::string drive, shown;  // shown: the directory list and lblDir
    };
    const std::string b = "Device unavailable: /vol/b/", a = "Device unavailable: /vol/a/";
    const std::string e70 = "Permission denied: /vol/b/\r\n\r\n(Message E70)";
    const int not_ready = errnum::kDeviceUnavailable, denied = errnum::kPermissionDenied;
    const std::vector<Case> cases = {
        {"ready", 0, false, {}, "/vol/b/", "/vol/b/"},
        {"not ready: back to the volume shown before", not_ready, false, {b}, "/vol/a/", "/vol/a/"},
        {"that one not ready either: stops", not_ready, true, {b, a}, "/vol/a/", "/vol/a/work"},
        {"another failure: reported, no undoing", denied, false, {e70}, "/vol/b/", "/vol/a/work"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.Open("/vol/a/work");
        if (c.b_error != 0) {
            h.Fail("/vol/b/", c.b_error);
        }
        if (c.a_fails_too) {
            h.Fail("/vol/a/", errnum::kDeviceUnavailable);
        }
        h.form->DriveChosen(2);
        EXPECT_EQ(h.Texts(), c.messages);
        for (const testing::ShownMessage& m : h.fakes.messages.shown) {
            EXPECT_EQ(m.icon, MessageIcon::kWarning);
            EXPECT_EQ(m.title, MessageTitle);
        }
        EXPECT_EQ(std::vector({h.controls.drive, h.controls.path, h.controls.label}),
                  std::vector({c.drive, c.shown, c.shown}));
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
    struct Case {
        int option;
        std::string file, content;  // the file in the directory opened before Go
    };
    const std::vector<Case> cases = {
        {0, "/vol/b/data/Sizewalk.txt", "1,000           one\r\n"},
        {1, "/vol/a/Sizewalk_20031005.txt", "1,000           one\r\n"},
        {2, "/vol/a/Sizewalk.csv", "05/10/2003,1000,one\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Harness h;
        if (c.option == 0) {
            h.form->DriveChosen(2);
            h.Open("/vol/b/data");
        }
        h.controls.selected = c.option;
        bool busy = false;
        h.editor.on_open = [&] {
            busy = h.controls.wait_shown && !h.controls.go_enabled;
            // A click on the disabled Go, which a toolkit may hold back.
            h.controls.queued.push_back([&] { h.form->btnGo_Click(); });
        };
        h.form->btnGo_Click();
        for (const auto& input : std::vector(h.controls.queued)) {
            input();
        }
        EXPECT_NE(h.fakes.files.contents[c.file].find(c.content), std::string::npos);
        EXPECT_EQ(h.editor.opened, std::vector{c.file});
        EXPECT_TRUE(busy);
        EXPECT_TRUE(h.folders.every_report_painted);
        EXPECT_EQ(h.controls.progress, std::make_pair(std::size_t{1}, std::size_t{1}));
        EXPECT_FALSE(h.controls.wait_shown || !h.controls.go_enabled || h.form->running());
        EXPECT_EQ(h.controls.focus, "btnGo");
        EXPECT_EQ(h.beeper.beeps, 3);
        // The run just written, as a page with its chart.
        h.form->lblHistory_Click();
        ASSERT_EQ(h.urls.opened, std::vector<std::string>{"/tmp/page0.html"});
        const std::string& page = h.history.pages["/tmp/page0.html"];
        EXPECT_LT(page.find("<svg"), page.find("one</td>"));
        EXPECT_NE(page.find("one</td>"), std::string::npos);
        EXPECT_TRUE(h.fakes.messages.shown.empty());
        EXPECT_TRUE(h.ended.empty());
    }
}

TEST(Form1, AFatalFailureOfTheRunEndsTheProgramWithoutBeeps) {
    Harness h;
    h.editor.failure = MakeError(errnum::kPathNotFound, "notepad");
    h.form->btnGo_Click();
    EXPECT_EQ(h.Texts(), std::vector<std::string>{"Path not found: notepad\r\n\r\n"
                                                  "(Message B76)"});
    EXPECT_EQ(h.ended, std::vector<int>{kExitFatal});
    EXPECT_EQ(h.beeper.beeps, 0);
    EXPECT_TRUE(h.controls.wait_shown && !h.controls.go_enabled);
}

TEST(Form1, AboutHelpTheWebSiteAndFailuresOfTheHistory) {
    Harness h;
    const Identity& identity = BuiltInIdentity();
    h.form->lblAbout_Click();
    h.form->lblHelp_Click();
    h.form->lblWebSite_Click();
    h.urls.failure = MakeError(errnum::kPathFileAccess, "xdg-open");
    h.form->lblWebSite_Click();
    h.fakes.files.contents["/vol/a/Sizewalk.csv"] = "05/10/2003,1,a\r\n";
    h.form->lblHistory_Click();
    h.history.failure = MakeError(errnum::kPermissionDenied, "/vol/a/");
    h.form->lblHistory_Click();
    EXPECT_EQ(h.Texts(),
              (std::vector<std::string>{AboutText(TitleLine, identity.contact), HelpText(),
                                        "Path/File access error: xdg-open\r\n\r\n(Message F75)",
                                        "Path/File access error: xdg-open\r\n\r\n(Message J75)",
                                        "Permission denied: /vol/a/\r\n\r\n(Message J70)"}));
    const std::vector<testing::ShownMessage>& shown = h.fakes.messages.shown;
    EXPECT_EQ(shown[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(shown[0].title, "About " + identity.product_name);
    EXPECT_EQ(shown[1].icon, MessageIcon::kNone);
    EXPECT_EQ(shown[1].title, MessageTitle);
    EXPECT_EQ(h.urls.opened,
              (std::vector{identity.website, identity.website, std::string("/tmp/page0.html")}));
}

TEST(Form1, TextsOfTheLists) {
    const std::vector<std::pair<Volume, std::string>> drives = {
        {{"C:\\", "SYSTEM"}, "c: [SYSTEM]"},
        {{"Z:\\", "\\\\server\\share", VolumeKind::kNetwork}, "z: [\\\\server\\share]"},
        {{"A:\\", ""}, "a:"},
        {{"/home/", "sda3"}, "/home/  [sda3]"},
    };
    for (const auto& [volume, text] : drives) {
        EXPECT_EQ(DriveText(volume), text);
    }
    EXPECT_EQ(HostOf("http://sizewalk.test/"), "sizewalk.test");
    EXPECT_EQ(HostOf("https://a.example:8080/x"), "a.example");
}

}  // namespace
}  // namespace sizewalk
