// The POSIX services against real files: what counts toward a size, how the
// tracking file is opened, and how errno becomes a runtime number.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "fakes.h"
#include "platform/platform.h"
#include "platform/posix/errors.h"
#include "platform/posix/file_service.h"
#include "platform/posix/folder_service.h"
#include "startup/module1.h"
#include "temp_dir.h"
#include "tracking/formats.h"

namespace sizewalk {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(PosixFolderService, CountsRegularFilesOnceWithoutFollowingLinks) {
    TempDir tmp;
    tmp.File("a/one", 100);
    tmp.File("a/deep/er/two", 20);
    tmp.File("a/sparse", 5'000'000'000);  // st_size, not blocks
    fs::create_hard_link(tmp.fs() / "a/one", tmp.fs() / "a/deep/one-again");
    tmp.File("b/three", 3);
    fs::create_hard_link(tmp.fs() / "a/one", tmp.fs() / "b/one-from-a");  // counted in b too
    fs::create_directory_symlink("/usr", tmp.fs() / "a/usr-link");
    fs::create_directory_symlink("..", tmp.fs() / "a/loop");
    fs::create_symlink("/nonexistent", tmp.fs() / "a/dangling");
    fs::create_directory_symlink(tmp.fs() / "b", tmp.fs() / "link-to-b");  // not a subdirectory
    mkfifo((tmp.fs() / "b/fifo").c_str(), 0600);
    tmp.File("loose-file", 7);
    fs::create_directory(tmp.fs() / "B");
    fs::create_directory(tmp.fs() / ".hidden");

    // In byte order; links, FIFOs and loose files are no subdirectories.
    EXPECT_EQ(testing::Measure(tmp.path()), ".hidden\t0\nB\t0\na\t5000000120\nb\t103\n");
}

TEST(PosixFolderService, FailuresNameTheirPath) {
    TempDir tmp;
    tmp.File("file", 1);
    PosixFolderService service;
    for (const std::string& bad : {tmp.path() + "missing/", tmp.path() + "file/"}) {
        auto listing = service.GetFolder(bad, {});
        ASSERT_FALSE(listing.ok());
        EXPECT_EQ(listing.error(), (Error{76, "Path not found: " + bad}));
    }
}

// A kernel file system is recognised by what it yields; that ordinary ones
// are not taken for one, every sized tree here shows (the deep one on tmpfs).
TEST(PosixFolderService, KernelFileSystemsCountNothing) {
    if (!fs::exists("/proc/self")) {
        GTEST_SKIP() << "no /proc here";
    }
    // /proc/kcore alone claims up to 128 TiB.
    PosixFolderService service;
    auto listing = service.GetFolder("/", {});
    ASSERT_TRUE(listing.ok());
    const auto& names = listing.value()->SubFolders();
    const auto it = std::find(names.begin(), names.end(), "proc");
    ASSERT_NE(it, names.end());
    const auto size = listing.value()->Size(static_cast<std::size_t>(it - names.begin()));
    ASSERT_TRUE(size.ok());
    EXPECT_EQ(size.value(), 0u);
}

TEST(PosixFileService, RefusesLinksAndSpecialFiles) {
    TempDir tmp;
    tmp.File("victim", 0);
    fs::create_symlink(tmp.fs() / "victim", tmp.fs() / "Sizewalk.txt");
    mkfifo((tmp.fs() / "Sizewalk.csv").c_str(), 0600);
    fs::create_directory(tmp.fs() / "Sizewalk_20031005.txt");
    PosixFileService files;
    for (const char* name : {"Sizewalk.txt", "Sizewalk.csv", "Sizewalk_20031005.txt"}) {
        for (OpenMode mode : {OpenMode::kAppend, OpenMode::kReplace}) {
            auto file = files.Open(tmp.path() + name, mode);  // must not hang on the FIFO
            ASSERT_FALSE(file.ok()) << name;
            EXPECT_EQ(file.error().number, 75) << file.error().description;
            EXPECT_EQ(file.error().description,
                      (name[9] == 't' ? "Refusing a symbolic link: " : "Not a regular file: ") +
                          tmp.path() + name);
        }
    }
    EXPECT_EQ(fs::file_size(tmp.fs() / "victim"), 0u);
}

// Appended lines are final only on Commit; dropped, the file is as it was
// (a file the run made is gone). A replacement is made beside the file.
TEST(PosixFileService, AppendReplaceAndRollBack) {
    TempDir tmp;
    const std::string path = tmp.path() + "Sizewalk.csv";
    PosixFileService files;
    const auto write = [&](const std::string& at, OpenMode mode, bool commit, bool is_new) {
        auto file = files.Open(at, mode);
        ASSERT_TRUE(file.ok()) << file.error().description;
        EXPECT_EQ(file.value()->IsNew(), is_new);
        ASSERT_FALSE(file.value()->WriteLine("line"));
        if (mode == OpenMode::kAppend) {  // a second run waits: the lock is taken
            const int other = open(at.c_str(), O_RDONLY);
            EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), -1);
            close(other);
        }
        if (commit) {
            ASSERT_FALSE(file.value()->Commit());
        }
    };
    const mode_t old_mask = umask(027);
    write(path, OpenMode::kAppend, false, true);
    EXPECT_FALSE(fs::exists(path));
    write(path, OpenMode::kAppend, true, true);
    umask(old_mask);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    write(path, OpenMode::kAppend, false, false);
    EXPECT_EQ(testing::ReadFile(path), "line\r\n");
    write(path, OpenMode::kAppend, true, false);
    write(path, OpenMode::kReplace, false, true);
    EXPECT_EQ(testing::ReadFile(path), "line\r\nline\r\n");
    std::ofstream(path, std::ios::app) << "more";
    write(path, OpenMode::kReplace, true, true);
    EXPECT_EQ(testing::ReadFile(path), "line\r\n");
    // Nothing left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.fs()), fs::directory_iterator()), 1);
}

// Two runs on one file: the second waits for the first's lock, then finds
// the file as the first left it: written (no header needed), or removed by
// its rollback (made anew, not written into the removed one).
TEST(PosixFileService, ConcurrentRuns) {
    for (const bool commit : {true, false}) {
        TempDir tmp;
        const std::string path = tmp.path() + "Sizewalk.txt";
        PosixFileService files;
        auto first = files.Open(path, OpenMode::kAppend);
        ASSERT_TRUE(first.ok());
        Outcome<std::unique_ptr<OutputFile>> second = MakeError(errnum::kInternal);
        std::thread other([&] { second = files.Open(path, OpenMode::kAppend); });
        EXPECT_TRUE(testing::SomeoneWaitsFor(path));
        ASSERT_FALSE(first.value()->WriteLine("first"));
        if (commit) {
            ASSERT_FALSE(first.value()->Commit());
        }
        first.value().reset();
        other.join();
        ASSERT_TRUE(second.ok()) << second.error().description;
        EXPECT_EQ(second.value()->IsNew(), !commit);
        ASSERT_FALSE(second.value()->WriteLine("second"));
        ASSERT_FALSE(second.value()->Commit());
        EXPECT_EQ(testing::ReadFile(path), commit ? "first\r\nsecond\r\n" : "second\r\n");
    }
}

// A lease (a Samba oplock, an NFS delegation) is waited for, not a failure.
TEST(PosixFileService, WaitsUntilALeaseIsGivenUp) {
    TempDir tmp;
    const std::string path = tmp.path() + "Sizewalk.csv";
    std::ofstream(path) << "old\r\n";
    testing::LeaseHolder holder(path, true);
    if (!holder.held()) {
        GTEST_SKIP() << "no lease on this file system";
    }
    PosixFileService files;
    auto file = files.Open(path, OpenMode::kAppend);
    ASSERT_TRUE(file.ok()) << file.error().description;
    ASSERT_FALSE(file.value()->WriteLine("new"));
    ASSERT_FALSE(file.value()->Commit());
    EXPECT_EQ(testing::ReadFile(path), "old\r\nnew\r\n");
}

// Error 75 carries the system's words; so does an opener that did not start.
TEST(PosixErrors, TheSystemsOwnWords) {
    const std::vector<std::tuple<int, std::int32_t, std::string>> cases = {
        {EROFS, 75, "Read-only file system: /d/f"},     {EISDIR, 75, "Is a directory: /d/f"},
        {ENAMETOOLONG, 75, "File name too long: /d/f"}, {ENOENT, 76, "Path not found: /d/f"},
        {EACCES, 70, "Permission denied: /d/f"},
    };
    for (const auto& [code, number, text] : cases) {
        EXPECT_EQ(ErrorFromErrno(code, "/d/f"), (Error{number, text}));
    }
    TempDir tmp;
    const std::string long_name = tmp.path() + std::string(300, 'n');
    auto file = PosixFileService().Open(long_name, OpenMode::kAppend);
    ASSERT_FALSE(file.ok());
    EXPECT_EQ(file.error(), (Error{75, "File name too long: " + long_name}));

    const std::string saved_path = std::getenv("PATH");
    setenv("PATH", tmp.path().c_str(), 1);
    SystemPlatform system;
    const Status opened = system.Get().editor.Open("/d/Sizewalk.txt");
    setenv("PATH", saved_path.c_str(), 1);
    EXPECT_EQ(opened, (Error{76,
                             "Could not start xdg-open for /d/Sizewalk.txt: No such file or "
                             "directory"}));
}

// Sends SIGTERM to the process (as systemd does) after a few directories;
// no directory is read on until it has arrived. Counts what it reads.
class SignallingCalls : public walk::DirectoryCalls {
  public:
    explicit SignallingCalls(const StopFlag* stop) : stop_(stop) {}
    std::atomic<int> reads{0};
    long ReadEntries(int fd, void* buffer, std::size_t size) override {
        const int read = ++reads;
        if (read == 6) {
            kill(getpid(), SIGTERM);
        }
        for (int i = 0; read >= 6 && i < 5000 && stop_->load() == 0; ++i) {
            usleep(1000);  // until the thread that takes it gets the processor
        }
        return DirectoryCalls::ReadEntries(fd, buffer, size);
    }

  private:
    const StopFlag* stop_;
};

// SIGTERM mid-walk: the walk stops at once, the file is as it was, and the
// exit status is 128 + 15.
TEST(PosixRun, ASignalStopsTheRunAndRollsTheFileBack) {
    TempDir tmp;
    for (int i = 0; i < 40; ++i) {  // one tree: the walk, not the run, must stop
        tmp.File("top/d" + std::to_string(i) + "/f", 1);
    }
    std::ofstream(tmp.fs() / "Sizewalk.txt") << "before\r\n";
    SystemPlatform system;
    system.CatchStopSignals();
    const Platform real = system.Get();
    auto calls = std::make_shared<SignallingCalls>(real.stop);
    PosixFolderService folders(walk::WalkOptions{2, calls, real.stop});
    testing::RecordingMessageBox messages;
    testing::FixedClock clock;
    testing::RecordingEditor editor;
    const Platform platform{folders, real.files, messages, clock, editor, real.locale, real.stop};
    EXPECT_EQ(Main({"1", tmp.path()}, platform, {}), 128 + SIGTERM);
    signal(SIGTERM, SIG_DFL);
    EXPECT_EQ(testing::ReadFile(tmp.fs() / "Sizewalk.txt"), "before\r\n");
    EXPECT_LT(calls->reads.load(), 20) << "each of 40 directories takes two reads";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "User interrupt occurred (signal 15)\r\n\r\n(Message B18)");
}

TEST(PosixLocale, SeparatorsOfTheCAndAGermanLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    LocaleSeparators c = ReadLocaleSeparators();
    EXPECT_EQ(c.digit_group, ",");
    EXPECT_EQ(c.date, "/");
    EXPECT_EQ(c.time, ":");
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "de_DE.UTF-8 is not generated here";
    }
    LocaleSeparators de = ReadLocaleSeparators();
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(FormatGrouped(1234567, de), "1.234.567");
    EXPECT_EQ(de.date, ".");
    EXPECT_EQ(de.time, ":");
    EXPECT_TRUE(de.utf8);
}

}  // namespace
}  // namespace sizewalk
