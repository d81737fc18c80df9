// The POSIX services against real files: how the tracking file is opened
// and rolled back, how errno becomes a runtime number, a signal mid-walk.
// What counts toward a size, leases and locales: end to end.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
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

// A kernel file system is recognised by what it yields; that ordinary ones
// are not taken for one, every sized tree here shows (the deep one on tmpfs).
TEST(PosixFolderService, KernelFileSystemsCountNothing) {
    if (!fs::exists("/proc/self")) {
        GTEST_SKIP() << "no /proc here";
    }
    // /proc/kcore alone claims up to 128 TiB.
    posix::FolderService service;
    auto listing = testing::List(service, "/");
    ASSERT_TRUE(listing.ok());
    const auto& names = listing.value()->SubFolders();
    const auto it = std::find(names.begin(), names.end(), "proc");
    ASSERT_NE(it, names.end());
    const auto size = listing.value()->Size(static_cast<std::size_t>(it - names.begin()));
    ASSERT_TRUE(size.ok());
    EXPECT_EQ(size.value(), 0u);
}

constexpr auto OpenIn = &testing::OpenIn<posix::FolderService>;

// Root never writes where a user pointed a tracking file's name: a link, a
// FIFO (without hanging on it), a directory, a hard link (which a user can
// make to root's files where fs.protected_hardlinks is 0), and in a sticky
// directory a file of a third user.
TEST(PosixFileService, RefusesFilesPlantedUnderItsNames) {
    TempDir tmp;
    const std::string victim = tmp.path() + "victim";
    tmp.File("victim", 0);
    const std::string hard = "Refusing a file with several hard links: ";
    std::vector<std::pair<std::string, std::string>> cases = {
        {"Sizewalk.txt", "Refusing a symbolic link: "},
        {"Sizewalk.csv", "Not a regular file: "},
        {"Sizewalk_20031005.txt", "Not a regular file: "},
        {"Sizewalk_20031006.txt", hard},
    };
    fs::create_symlink(victim, tmp.fs() / "Sizewalk.txt");
    mkfifo((tmp.fs() / "Sizewalk.csv").c_str(), 0600);
    fs::create_directory(tmp.fs() / "Sizewalk_20031005.txt");
    fs::create_hard_link(victim, tmp.fs() / "Sizewalk_20031006.txt");
    std::ofstream protected_hardlinks("/proc/sys/fs/protected_hardlinks");
    if (geteuid() == 0 && protected_hardlinks << "0" << std::flush) {
        // As the attacker would: a user links root's file under the name.
        chmod(tmp.path().c_str(), 01777);
        tmp.File("passwd", 0);
        testing::RunProgram({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "ln",
                             tmp.path() + "passwd", tmp.path() + "Sizewalk_20031007.txt"});
        protected_hardlinks << "1" << std::flush;
        cases.emplace_back("Sizewalk_20031007.txt", hard);
        tmp.File("Sizewalk_20031008.txt", 0);
        ASSERT_EQ(chown((tmp.path() + "Sizewalk_20031008.txt").c_str(), 65534, 65534), 0);
        cases.emplace_back("Sizewalk_20031008.txt",
                           "Refusing a file of another user in a shared directory: ");
    }
    posix::FileService files;
    for (const auto& [name, reason] : cases) {
        for (OpenMode mode : {OpenMode::kAppend, OpenMode::kReplace}) {
            auto file = OpenIn(files, tmp.path(), name, mode);
            ASSERT_FALSE(file.ok()) << name;
            EXPECT_EQ(file.error(), (Error{75, reason + tmp.path() + name}));
        }
    }
    EXPECT_EQ(fs::file_size(victim), 0u);
}

// Two runs on one file: the second waits for the first's lock, then finds
// the file as the first left it: written (no header needed), or removed by
// its rollback (made anew, not written into the removed one). A new file
// takes its mode from the umask; a torn last line is ended first. Others
// wait only so long, and a request to stop, before or during the wait, ends
// it at once.
TEST(PosixFileService, ConcurrentRuns) {
    const mode_t old_mask = umask(027);
    for (const bool written : {true, false}) {
        TempDir tmp;
        const std::string path = tmp.path() + "Sizewalk.txt";
        posix::FileService files;
        if (written) {
            std::ofstream{path};  // a file left empty is new too
        }
        auto first = OpenIn(files, tmp.path(), "Sizewalk.txt", OpenMode::kAppend);
        ASSERT_TRUE(first.ok());
        EXPECT_TRUE(first.value()->IsNew());
        Outcome<std::unique_ptr<OutputFile>> second = MakeError(errnum::kInternal);
        std::atomic<bool> opened{false};
        std::thread other([&] {
            second = OpenIn(files, tmp.path(), "Sizewalk.txt", OpenMode::kAppend);
            opened = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(opened.load());
        StopFlag stop{0};
        const std::vector<std::tuple<int, int, Error>> cases = {
            {0, -1, Error{70, "The file is locked by another process: " + path}},
            {15, -1, Interrupted(15)},
            {0, 15, Interrupted(15)},
        };
        for (const auto& [before, during, expected] : cases) {
            stop = before;
            posix::FileService waiting(
                {&stop, std::chrono::milliseconds(during < 0 ? 300 : 20000)});
            std::thread signal([&, during = during] {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                stop = std::max(stop.load(), during);
            });
            const auto start = std::chrono::steady_clock::now();
            auto file = OpenIn(waiting, tmp.path(), "Sizewalk.txt", OpenMode::kAppend);
            signal.join();
            EXPECT_EQ(file.ok() ? Error{} : file.error(), expected);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        }
        if (written) {
            ASSERT_FALSE(first.value()->Write({"first", "torn"}));
            ASSERT_EQ(truncate(path.c_str(), 12), 0);  // "first\r\ntorn\r"
        }
        first.value().reset();
        other.join();
        ASSERT_TRUE(second.ok()) << second.error().description;
        EXPECT_EQ(second.value()->IsNew(), !written);
        ASSERT_FALSE(second.value()->Write({"second"}));
        EXPECT_EQ(testing::ReadFile(path),
                  written ? "first\r\ntorn\r\r\nsecond\r\n" : "second\r\n");
        EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    }
    umask(old_mask);
}

// The day's file is replaced whole: the earlier one keeps its mode and
// owner (the directory's owner here), no temporary is left, and of the
// temporaries of killed runs only this user's plain files of the right form
// older than a day go (the first here; not a young one, others' forms, a
// directory, a link).
TEST(PosixFileService, ReplacingKeepsModeAndOwnerAndLeavesNoTemporaries) {
    const bool root = geteuid() == 0;
    const std::string day = "Sizewalk_20031005.txt";
    const std::vector<std::string> names = {".Sizewalk_19991231.txt.stale1",
                                            ".Sizewalk_20031004.txt.abc12",
                                            ".Sizewalk_2003100a.txt.abc123",
                                            ".Sizewalk_19991231.txt.stale2",
                                            ".Sizewalk_19991231.txt.stale3",
                                            ".Sizewalk_20031004.txt.young1",
                                            day};
    for (const bool unnamed : {true, false}) {
        TempDir tmp;
        fs::create_directory(tmp.fs() / names[3]);
        fs::create_symlink(tmp.fs() / day, tmp.fs() / names[4]);
        const timespec old[2] = {{0, 0}, {std::time(nullptr) - 2 * 86400, 0}};
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i != 3 && i != 4) {
                tmp.File(names[i], 1);
            }
            if (i < 5) {
                utimensat(AT_FDCWD, (tmp.path() + names[i]).c_str(), old, AT_SYMLINK_NOFOLLOW);
            }
        }
        chmod((tmp.path() + day).c_str(), 0604);
        if (root) {
            ASSERT_EQ(chown(tmp.path().c_str(), 65534, 65534), 0);
            ASSERT_EQ(chown((tmp.path() + day).c_str(), 65534, 65534), 0);
        }
        posix::FileService files({nullptr, kBusyWait, unnamed});
        auto file = OpenIn(files, tmp.path(), day, OpenMode::kReplace);
        ASSERT_TRUE(file.ok());
        ASSERT_FALSE(file.value()->Write({"report"}));
        EXPECT_EQ(testing::ReadFile(tmp.fs() / day), "report\r\n");
        struct stat st {};
        ASSERT_EQ(stat((tmp.path() + day).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0604u);
        EXPECT_EQ(st.st_uid, root ? 65534u : geteuid());
        std::set<std::string> left;
        for (const auto& entry : fs::directory_iterator(tmp.fs())) {
            left.insert(entry.path().filename().string());
        }
        EXPECT_EQ(left, std::set<std::string>(names.begin() + 1, names.end()));
    }
}

// Error 75 carries the system's words; so does an opener that did not start.
TEST(PosixErrors, TheSystemsOwnWords) {
    const std::vector<std::tuple<int, std::int32_t, std::string>> cases = {
        {EROFS, 75, "Read-only file system: /d/f"},     {EISDIR, 75, "Is a directory: /d/f"},
        {ENAMETOOLONG, 75, "File name too long: /d/f"}, {ENOENT, 76, "Path not found: /d/f"},
        {EACCES, 70, "Permission denied: /d/f"},        {ENOTDIR, 76, "Path not found: /d/f"},
    };
    for (const auto& [code, number, text] : cases) {
        EXPECT_EQ(posix::SystemError(code, "/d/f"), (Error{number, text}));
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

// Started with standard output and error closed, a program takes the null
// device for them, so that no file it opens becomes either; a closed pipe
// or a file size limit does not end it.
TEST(PosixProcess, PreparedForClosedStreamsAndLimits) {
    const pid_t pid = fork();
    if (pid == 0) {
        close(1);
        close(2);
        PrepareProcess();
        char target[16] = {};
        const bool ok = readlink("/proc/self/fd/2", target, sizeof target - 1) == 9 &&
                        std::string_view(target) == "/dev/null" && fcntl(1, F_GETFD) >= 0 &&
                        signal(SIGPIPE, SIG_DFL) == SIG_IGN && signal(SIGXFSZ, SIG_DFL) == SIG_IGN;
        _exit(ok ? 0 : 1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
}

// Calls `hook` with the number of the read before each directory read (the
// first is the listing's, the others the walk's, on its threads).
class HookedCalls : public posix::walk::DirectoryCalls {
  public:
    explicit HookedCalls(std::function<void(int)> hook) : hook_(std::move(hook)) {}
    std::atomic<int> reads{0};
    long ReadEntries(int fd, void* buffer, std::size_t size) override {
        hook_(++reads);
        return DirectoryCalls::ReadEntries(fd, buffer, size);
    }

  private:
    std::function<void(int)> hook_;
};

// SIGTERM mid-walk (as systemd sends it), or a worker out of memory, once the
// run waits for the sizes: the walk stops at once, the file is as it was, and
// the exit status (128 + 15, or 1) and the one message say why.
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
        std::atomic<bool> thrown{false};
        auto calls = std::make_shared<HookedCalls>([&](int read) {
            if (read == 6) {
                usleep(200000);  // so that the run waits for the sizes by then
                if (out_of_memory) {
                    thrown = true;
                    throw std::bad_alloc();
                }
                kill(getpid(), SIGTERM);
            }
            for (int i = 0; read >= 6 && i < 5000 && real.stop->load() == 0 && !thrown; ++i) {
                usleep(1000);  // no directory is read on until the flag is set
            }
        });
        posix::FolderService folders(posix::walk::WalkOptions{2, calls, real.stop});
        testing::FakePlatform fake;
        const Platform platform{folders,     real.files,  fake.messages, fake.clock,
                                fake.editor, real.locale, real.stop};
        EXPECT_EQ(Main({"1", tmp.path()}, platform, {}), out_of_memory ? 1 : 128 + SIGTERM);
        EXPECT_EQ(testing::ReadFile(tmp.fs() / "Sizewalk.txt"), "before\r\n");
        if (!out_of_memory) {  // a thrown worker may be overtaken before it is caught
            EXPECT_LT(calls->reads.load(), 20) << "each of 40 directories takes two reads";
        }
        ASSERT_EQ(fake.messages.shown.size(), 1u);
        EXPECT_EQ(fake.messages.shown[0].text,
                  out_of_memory ? "Out of memory\r\n\r\n(Message B7)"
                                : "User interrupt occurred (signal 15)\r\n\r\n(Message B18)");
    }
    signal(SIGTERM, SIG_DFL);
}

// SIGKILL mid-walk (systemd after its stop timeout, the OOM killer) leaves
// the file byte for byte as it was.
TEST(PosixRun, AKillMidWalkLeavesTheFile) {
    TempDir tmp;
    tmp.File("a/b/f", 1);
    std::ofstream(tmp.fs() / "Sizewalk.txt") << "before";
    const pid_t pid = fork();
    if (pid == 0) {
        auto calls = std::make_shared<HookedCalls>([](int read) {
            if (read == 2) {
                raise(SIGKILL);
            }
        });
        posix::FolderService folders(posix::walk::WalkOptions{1, calls, nullptr});
        posix::FileService files;
        testing::FakePlatform fake;
        Main({"1", tmp.path()},
             Platform{folders, files, fake.messages, fake.clock, fake.editor, fake.locale}, {});
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(testing::ReadFile(tmp.fs() / "Sizewalk.txt"), "before");
}

// The directory measured is the directory written, whatever became of its
// path meanwhile (a user who owns a component swaps it for a link): nothing
// is written elsewhere, in any style.
TEST(PosixRun, APathSwappedMidRunChangesNothing) {
    for (const int style : {1, 2, 3}) {
        TempDir tmp;
        tmp.File("dir/a/f", 7);
        tmp.File("elsewhere/b/f", 9);
        auto calls = std::make_shared<HookedCalls>([&](int read) {
            if (read == 2) {
                fs::rename(tmp.fs() / "dir", tmp.fs() / "moved");
                fs::create_directory_symlink(tmp.fs() / "elsewhere", tmp.fs() / "dir");
            }
        });
        posix::FolderService folders(posix::walk::WalkOptions{1, calls, nullptr});
        posix::FileService files;
        testing::FakePlatform fake;
        const Platform platform{folders,     files,       fake.messages, fake.clock,
                                fake.editor, fake.locale, nullptr};
        EXPECT_EQ(Main({std::to_string(style), tmp.path() + "dir/"}, platform, {}), 0);
        const std::string name = TrackingFileName(*StyleNumbered(style), fake.clock.now);
        EXPECT_FALSE(fs::exists(tmp.fs() / "elsewhere" / name));
        EXPECT_NE(testing::ReadFile(tmp.fs() / "moved" / name).find("a"), std::string::npos);
    }
}

}  // namespace
}  // namespace sizewalk
