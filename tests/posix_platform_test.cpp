// The POSIX services against real files: how the tracking file is opened
// and rolled back, how errno becomes a runtime number, a signal mid-walk.
// What counts toward a size, leases and locales: end to end.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
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

namespace sizewalk {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

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

// Two runs on one file: the second waits for the first's lock, then finds
// the file as the first left it: written (no header needed), or removed by
// its rollback (made anew, not written into the removed one). What else a
// rollback leaves (the file exactly as before): the tiny file system end to
// end. A new file takes its mode from the umask.
TEST(PosixFileService, ConcurrentRuns) {
    const mode_t old_mask = umask(027);
    for (const bool commit : {true, false}) {
        TempDir tmp;
        const std::string path = tmp.path() + "Sizewalk.txt";
        PosixFileService files;
        if (commit) {
            std::ofstream{path};  // a file left empty is new too
        }
        auto first = files.Open(path, OpenMode::kAppend);
        ASSERT_TRUE(first.ok());
        EXPECT_TRUE(first.value()->IsNew());
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
        EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    }
    umask(old_mask);
}

// Error 75 carries the system's words; so does an opener that did not start.
TEST(PosixErrors, TheSystemsOwnWords) {
    const std::vector<std::tuple<int, std::int32_t, std::string>> cases = {
        {EROFS, 75, "Read-only file system: /d/f"},     {EISDIR, 75, "Is a directory: /d/f"},
        {ENAMETOOLONG, 75, "File name too long: /d/f"}, {ENOENT, 76, "Path not found: /d/f"},
        {EACCES, 70, "Permission denied: /d/f"},        {ENOTDIR, 76, "Path not found: /d/f"},
    };
    for (const auto& [code, number, text] : cases) {
        EXPECT_EQ(ErrorFromErrno(code, "/d/f"), (Error{number, text}));
    }
    TempDir tmp;
    const std::string saved_path = std::getenv("PATH");
    setenv("PATH", tmp.path().c_str(), 1);
    SystemPlatform system;
    const Status opened = system.Get().editor.Open("/d/Sizewalk.txt");
    setenv("PATH", saved_path.c_str(), 1);
    EXPECT_EQ(opened, (Error{76,
                             "Could not start xdg-open for /d/Sizewalk.txt: No such file or "
                             "directory"}));
}

// Sends SIGTERM to the process (as systemd does), or runs out of memory on a
// worker, after a few directories, once the run waits for their sizes; no
// directory is read on until then. Counts what it reads.
class SignallingCalls : public walk::DirectoryCalls {
  public:
    SignallingCalls(const StopFlag* stop, bool out_of_memory)
        : stop_(stop), out_of_memory_(out_of_memory) {}
    std::atomic<int> reads{0};
    long ReadEntries(int fd, void* buffer, std::size_t size) override {
        const int read = ++reads;
        if (read == 6) {
            usleep(200000);  // so that the run waits for the sizes by then
            if (out_of_memory_) {
                thrown_ = true;
                throw std::bad_alloc();
            }
            kill(getpid(), SIGTERM);
        }
        for (int i = 0; read >= 6 && i < 5000 && stop_->load() == 0 && !thrown_; ++i) {
            usleep(1000);  // until the thread that takes it gets the processor
        }
        return DirectoryCalls::ReadEntries(fd, buffer, size);
    }

  private:
    const StopFlag* stop_;
    const bool out_of_memory_;
    std::atomic<bool> thrown_{false};
};

// SIGTERM mid-walk, or a worker out of memory: the walk stops at once, the
// file is as it was, and the exit status (128 + 15, or 1) and the one message
// say why.
TEST(PosixRun, ASignalOrAFailedWorkerStopsTheRunAndRollsTheFileBack) {
    TempDir tmp;
    for (int i = 0; i < 40; ++i) {  // one tree: the walk, not the run, must stop
        tmp.File("top/d" + std::to_string(i) + "/f", 1);
    }
    SystemPlatform system;
    system.CatchStopSignals();
    const Platform real = system.Get();
    for (const bool out_of_memory : {true, false}) {  // the signal leaves the flag set
        std::ofstream(tmp.fs() / "Sizewalk.txt") << "before\r\n";
        auto calls = std::make_shared<SignallingCalls>(real.stop, out_of_memory);
        PosixFolderService folders(walk::WalkOptions{2, calls, real.stop});
        testing::FakePlatform fake;
        const Platform platform{folders,     real.files,  fake.messages, fake.clock,
                                fake.editor, real.locale, real.stop};
        EXPECT_EQ(Main({"1", tmp.path()}, platform, {}), out_of_memory ? 1 : 128 + SIGTERM);
        EXPECT_EQ(testing::ReadFile(tmp.fs() / "Sizewalk.txt"), "before\r\n");
        EXPECT_LT(calls->reads.load(), 20) << "each of 40 directories takes two reads";
        ASSERT_EQ(fake.messages.shown.size(), 1u);
        EXPECT_EQ(fake.messages.shown[0].text,
                  out_of_memory ? "Out of memory\r\n\r\n(Message B7)"
                                : "User interrupt occurred (signal 15)\r\n\r\n(Message B18)");
    }
    signal(SIGTERM, SIG_DFL);
}

}  // namespace
}  // namespace sizewalk
