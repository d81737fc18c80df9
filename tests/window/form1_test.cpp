// Form1's behaviour without a toolkit: its controls, volumes, beeps, opener
// and the run's file system are replaced.
#include "window/form1.h"

#include <gtest/gtest.h>

#include "common/globals.h"
#include "common/identity.h"
#include "common/reports.h"
#include "fakes.h"
#include "window/layout.h"
#include "window/window_fakes.h"

namespace sizewalk {
namespace {

using testing::ShownMessage;

// The controls as a toolkit holds them. Input given while the window is
// busy waits in `queued` until the toolkit takes it, unless Repaint throws
// it away.
class FakeControls final : public Form1Controls {
  public:
    std::string caption, drive, path, label, focus;
    int selected = 0;
    bool go_enabled = true, wait_shown = false;
    std::pair<std::size_t, std::size_t> progress;
    int repaints = 0;
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
    explicit SlowFolders(const FakeControls& controls) : controls_(controls) {}
    std::string asked;
    bool every_report_painted = true;

    Outcome<std::unique_ptr<FolderListing>> GetFolder(const std::string& path,
                                                      ProgressCallback progress) override {
        asked = path;
        return std::unique_ptr<FolderListing>(std::make_unique<Listing>(*this, progress));
    }

  private:
    struct Listing final : FolderListing {
        Listing(SlowFolders& owner, ProgressCallback progress)
            : owner(owner), progress(std::move(progress)) {}
        const std::vector<std::string>& SubFolders() const override { return names; }
        Outcome<ByteCount> Size(std::size_t) override {
            for (std::uint64_t files = 1; files <= 3; ++files) {
                const int before = owner.controls_.repaints;
                progress(ScanProgress{0, files});
                owner.every_report_painted &= owner.controls_.repaints > before;
            }
            return ByteCount{1000};
        }
        SlowFolders& owner;
        ProgressCallback progress;
        std::vector<std::string> names{"one"};
    };
    const FakeControls& controls_;
};

struct Harness {
    testing::FakeVolumes volumes;
    FakeControls controls;
    testing::CountingBeeper beeper;
    testing::RecordingUrls urls;
    testing::FakePlatform fakes;
    SlowFolders folders{controls};
    testing::WatchedEditor editor;
    std::vector<int> ended;
    std::unique_ptr<Form1> form;

    Harness() {
        TitleLine = ComposeTitleLine(BuiltInIdentity());
        MessageTitle = ComposeMessageTitle(BuiltInIdentity());
        CommandText.clear();
        volumes.volumes = {{"/", "root"}, {"/vol/a/", "A"}, {"/vol/b/", "B"}};
        volumes.cwd = "/vol/a/work/deep";
        volumes.listings = {
            {"/vol/a/", std::vector<std::string>{"work", "zeta"}},
            {"/vol/a/work", std::vector<std::string>{"deep"}},
            {"/vol/a/work/deep", std::vector<std::string>{"x"}},
            {"/vol/b/", std::vector<std::string>{"data"}},
            {"/vol/b/data", std::vector<std::string>{}},
        };
    }
    void Fail(const std::string& path, std::int32_t number) {
        volumes.listings.insert_or_assign(path, MakeError(number, path));
    }
    void Open() {
        const Platform platform{folders,     fakes.files, fakes.messages,
                                fakes.clock, editor,      fakes.locale};
        form = std::make_unique<Form1>(
            controls,
            WindowServices{platform, volumes, beeper, urls, [this](int s) { ended.push_back(s); }});
        form->Form_Load();
    }
    std::size_t Entry(const std::string& path) {
        const auto& entries = form->directories().entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].path == path) {
                return i;
            }
        }
        return kNoEntry;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const ShownMessage& message : fakes.messages.shown) {
            texts.push_back(message.text);
        }
        return texts;
    }
};

TEST(Form1, OpensAtTheRootOfTheCurrentVolume) {
    Harness h;
    h.Open();
    EXPECT_EQ(h.controls.caption, TitleLine);
    EXPECT_EQ(h.controls.drive, "/vol/a/");
    EXPECT_EQ(h.controls.path, "/vol/a/");
    EXPECT_EQ(h.controls.label, "/vol/a/");
    EXPECT_TRUE(h.fakes.messages.shown.empty());
    // Read anew when it drops down; the current volume stays while it is current.
    h.volumes.volumes = {{"/", "root"}, {"/vol/c/", "C"}};
    h.form->DriveListOpening();
    std::vector<std::string> roots;
    for (const Volume& volume : h.form->drives().volumes()) {
        roots.push_back(volume.root);
    }
    EXPECT_EQ(roots, (std::vector<std::string>{"/", "/vol/a/", "/vol/c/"}));
    EXPECT_EQ(h.controls.drive, "/vol/a/");

    // A volume not ready at load: reported, and the list stays where it was.
    Harness unready;
    unready.Fail("/vol/a/", errnum::kDeviceUnavailable);
    unready.Open();
    EXPECT_EQ(unready.Texts(), std::vector<std::string>{"Device unavailable: /vol/a/\r\n\r\n"
                                                        "(Message G68)"});
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
    const int not_ready = errnum::kDeviceUnavailable;
    const std::vector<Case> cases = {
        {"ready", 0, false, {}, "/vol/b/", "/vol/b/"},
        {"not ready: back to the volume shown before", not_ready, false, {b}, "/vol/a/", "/vol/a/"},
        {"that one not ready either: stops", not_ready, true, {b, a}, "/vol/a/", "/vol/a/work"},
        {"another failure: reported, nothing undone",
         errnum::kPermissionDenied,
         false,
         {"Permission denied: /vol/b/\r\n\r\n(Message E70)"},
         "/vol/b/",
         "/vol/a/work"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.Open();
        h.form->DirectoryOpened(h.Entry("/vol/a/work"));
        if (c.b_error != 0) {
            h.Fail("/vol/b/", c.b_error);
        }
        if (c.a_fails_too) {
            h.Fail("/vol/a/", errnum::kDeviceUnavailable);
        }
        h.form->DriveChosen(2);
        EXPECT_EQ(h.Texts(), c.messages);
        for (const ShownMessage& m : h.fakes.messages.shown) {
            EXPECT_EQ(m.icon, MessageIcon::kWarning);
            EXPECT_EQ(m.title, MessageTitle);
        }
        EXPECT_EQ(h.controls.drive, c.drive);
        EXPECT_EQ(h.form->drives().CurrentRoot(), c.drive);
        EXPECT_EQ(h.controls.path, c.shown);
        EXPECT_EQ(h.controls.label, c.shown);
    }
}

TEST(Form1, OpeningDirectoriesAndWhatTheListShows) {
    Harness h;
    h.Open();
    h.form->DirectoryOpened(h.Entry("/vol/a/work"));
    h.form->DirectoryOpened(h.Entry("/vol/a/work/deep"));
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
    h.form->DirectoryOpened(h.Entry("/vol/a/work"));
    EXPECT_EQ(h.Texts(), std::vector<std::string>{"Permission denied: /vol/a/work\r\n\r\n"
                                                  "(Message F70)"});
    EXPECT_EQ(h.controls.label, "/vol/a/work/deep");
}

TEST(Form1, GoRunsTheChosenStyleOnTheShownDirectory) {
    struct Case {
        int option;
        const char* open;  // the directory opened before Go; none: the root
        std::string target, file, content;
    };
    const std::vector<Case> cases = {
        {0, "/vol/b/data", "/vol/b/data/", "/vol/b/data/Sizewalk.txt", "1,000           one\r\n"},
        {1, nullptr, "/vol/a/", "/vol/a/Sizewalk_20031005.txt", "1,000           one\r\n"},
        {2, nullptr, "/vol/a/", "/vol/a/Sizewalk.csv", "05/10/2003,1000,one\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Harness h;
        h.Open();
        if (c.open != nullptr) {
            h.form->DriveChosen(2);
            h.form->DirectoryOpened(h.Entry(c.open));
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

        EXPECT_EQ(OutputStyle, c.option + 1);
        EXPECT_EQ(TargetDir, c.target);
        EXPECT_EQ(h.folders.asked, c.target);
        EXPECT_NE(h.fakes.files.contents[c.file].find(c.content), std::string::npos);
        EXPECT_EQ(h.editor.opened, std::vector<std::string>{c.file});
        EXPECT_TRUE(busy);
        EXPECT_TRUE(h.folders.every_report_painted);
        EXPECT_EQ(h.controls.progress, std::make_pair(std::size_t{1}, std::size_t{1}));
        EXPECT_FALSE(h.controls.wait_shown);
        EXPECT_TRUE(h.controls.go_enabled);
        EXPECT_EQ(h.controls.focus, "btnGo");
        EXPECT_EQ(h.beeper.beeps, 3);
        EXPECT_TRUE(h.fakes.messages.shown.empty());
        EXPECT_TRUE(h.ended.empty());
        EXPECT_FALSE(h.form->running());
    }
}

TEST(Form1, AFatalFailureOfTheRunEndsTheProgramWithoutBeeps) {
    Harness h;
    h.editor.failure = MakeError(errnum::kPathNotFound, "notepad");
    h.Open();
    h.form->btnGo_Click();
    EXPECT_EQ(h.Texts(), std::vector<std::string>{"Path not found: notepad\r\n\r\n"
                                                  "(Message B76)"});
    EXPECT_EQ(h.ended, std::vector<int>{kExitFatal});
    EXPECT_EQ(h.beeper.beeps, 0);
    EXPECT_TRUE(h.controls.wait_shown);
    EXPECT_FALSE(h.controls.go_enabled);
}

TEST(Form1, AboutHelpAndTheWebSite) {
    Harness h;
    h.Open();
    const Identity& identity = BuiltInIdentity();
    h.form->lblAbout_Click();
    h.form->lblHelp_Click();
    h.form->lblWebSite_Click();
    h.urls.failure = MakeError(errnum::kPathFileAccess, "xdg-open");
    h.form->lblWebSite_Click();
    const std::vector<ShownMessage>& shown = h.fakes.messages.shown;
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, AboutText(TitleLine, identity.contact));
    EXPECT_EQ(shown[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(shown[0].title, "About " + identity.product_name);
    EXPECT_EQ(shown[1].text, HelpText());
    EXPECT_EQ(shown[1].icon, MessageIcon::kNone);
    EXPECT_EQ(shown[1].title, MessageTitle);
    EXPECT_EQ(shown[2].text, "Path/File access error: xdg-open\r\n\r\n(Message F75)");
    EXPECT_EQ(h.urls.opened, std::vector<std::string>(2, identity.website));
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
