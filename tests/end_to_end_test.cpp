// The built program on real trees: the rows it writes against the tree
// builder's own measurement, what a scheduler sees, a full disk, a generated
// locale, signals and message boxes.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <tuple>

#include "platform/history_system.h"
#include "temp_dir.h"
#include "tracking/formats.h"

namespace sizewalk {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Result;
using testing::RunProgram;
using testing::TempDir;

// A read lease on a file held by this process (as Samba's oplocks and NFS
// delegations are): fd < 0 where the file system has none. SIGIO, which
// tells of a writer breaking it, is blocked and stays pending.
struct Lease {
    explicit Lease(const std::string& path) : fd(open(path.c_str(), O_RDONLY)) {
        sigset_t io;
        sigemptyset(&io);
        sigaddset(&io, SIGIO);
        sigprocmask(SIG_BLOCK, &io, nullptr);
        if (fd >= 0 && fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
            close(fd);
            fd = -1;
        }
    }
    ~Lease() { close(fd); }
    int fd;
};

// A tmpfs of `size` ("16k") mounted while it lives; needs root.
class Tmpfs : public TempDir {
  public:
    explicit Tmpfs(const char* size)
        : mounted_(mount("tmpfs", fs().c_str(), "tmpfs", 0,
                         (std::string("size=") + size).c_str()) == 0) {}
    ~Tmpfs() { umount2(fs().c_str(), MNT_DETACH); }  // harmless where nothing was mounted
    bool mounted() const { return mounted_; }

  private:
    bool mounted_;
};

// The tree of scripts/make-tree at `root` and its own measurement: name and
// bytes of each subdirectory, in byte order of the names; none when it fails.
std::vector<std::pair<std::string, std::string>> MakeTree(const std::string& root,
                                                          std::vector<std::string> options) {
    const std::string expected_file = root + ".expected";
    std::vector<std::string> argv = {"python3", SIZEWALK_MAKE_TREE, root, "--expected",
                                     expected_file};
    argv.insert(argv.end(), options.begin(), options.end());
    std::vector<std::pair<std::string, std::string>> expected;
    if (RunProgram(argv).exit_status != 0) {
        return expected;
    }
    // Records of bytes, tab, name, NUL: a name may hold a tab or a line break.
    std::istringstream records(ReadFile(expected_file));
    for (std::string record; std::getline(records, record, '\0');) {
        const std::size_t tab = record.find('\t');
        expected.emplace_back(record.substr(tab + 1), record.substr(0, tab));
    }
    return expected;
}

// Every row against the tree builder's own record of the sizes, with one
// walker and with many sharing each tree.
TEST(EndToEnd, RowsMatchTheTreeBuildersMeasurementOfAnEdgeTree) {
    TempDir tmp;
    const std::string root = tmp.path() + "tree/";
    const auto expected =
        MakeTree(tmp.path() + "tree", {"--edge", "--files", "6000", "--subdirs", "3"});
    ASSERT_GT(expected.size(), 10u);
    for (const char* threads : {"SIZEWALK_THREADS=1", "SIZEWALK_THREADS=8"}) {
        const Result run = RunProgram({SIZEWALK_BINARY, "3", root}, {threads});
        ASSERT_EQ(run.exit_status, 0) << run.output;
        EXPECT_EQ(run.output, "");
        const std::string csv = ReadFile(root + "Sizewalk.csv");
        fs::remove(root + "Sizewalk.csv");
        std::string rows;  // each after the date the first one has
        for (const auto& [name, bytes] : expected) {
            rows += csv.substr(0, 11) + bytes + "," + CsvField(name) + "\r\n";
        }
        EXPECT_EQ(csv, rows) << threads;
    }
}

// What a scheduler sees of each outcome: the status, and one line each on
// standard error, nothing the window program's toolkit says; with a display
// also a box (the window program, where built), unless
// SIZEWALK_MESSAGES=stderr or on a terminal. A failed run writes nothing.
TEST(EndToEnd, ExitStatusesAndMessages) {
    TempDir tmp;
    const std::string dir = tmp.path();
    const std::string record = dir + "record";
    tmp.File("open/data", 10);
    tmp.File("private/inner/secret", 99);
    fs::permissions(tmp.fs() / "private/inner", fs::perms::none);
    // A copy of the program beside a stand-in window program, run as an
    // unprivileged user when running as root, since permissions do not stop
    // root (the build tree may lie below a private folder).
    fs::copy_file(SIZEWALK_BINARY, dir + "sizewalk");
    fs::copy_file(SIZEWALK_FAKE_WINDOW, dir + "sizewalk-window");
    std::vector<std::string> program = {dir + "sizewalk"};
    if (geteuid() == 0) {
        program = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", dir + "sizewalk"};
    }
    // `messages`: run with a display and SIZEWALK_MESSAGES set to it.
    const auto check = [&](const std::vector<std::string>& arguments, int status,
                           const std::string& output, const char* messages = nullptr,
                           testing::Output to = testing::Output::kFile) {
        std::vector<std::string> argv = program;
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<std::string> environment;
        if (messages != nullptr) {
            environment = {"DISPLAY=:99", "SIZEWALK_TEST_RECORD=" + record,
                           "SIZEWALK_MESSAGES=" + std::string(messages)};
        }
        Result run = RunProgram(argv, environment, {}, to);
        std::erase(run.output, '\r');  // a terminal's line ends
        EXPECT_EQ(run.exit_status, status);
        EXPECT_EQ(run.output, output);
        EXPECT_EQ(fs::exists(tmp.fs() / "Sizewalk.csv"), status == 3);
        const bool box = SIZEWALK_WITH_WINDOW && messages != nullptr && *messages == '\0' &&
                         to != testing::Output::kTerminal;
        EXPECT_EQ(ReadFile(record).find("--message-box|warning|"), box ? 0u : std::string::npos);
        fs::remove(record);
    };
    const std::string not_found = "sizewalk: Path not found: " + dir + "missing/ (Message B76)\n";
    for (const char* messages : {static_cast<const char*>(nullptr), "", "stderr"}) {
        check({"2", dir + "missing/"}, 1, not_found, messages);
    }
    // Standard error a terminal, where the message is read: no box.
    check({"2", dir + "missing/"}, 1, not_found, "", testing::Output::kTerminal);
    EXPECT_FALSE(fs::exists(tmp.fs() / "missing"));
    check({"2", dir + "x"}, 2,
          "sizewalk: Invalid parameters in command line!\n"
          "sizewalk: the directory must end with '/': sizewalk 2 /srv/data/\n");
    chmod(dir.c_str(), 0555);  // the listing works, the file cannot be made
    check({"3", dir}, 1, "sizewalk: Permission denied: " + dir + "Sizewalk.csv (Message B70)\n");
    chmod(dir.c_str(), 0777);  // written, but the scheduler hears of it
    check({"3", dir}, 3,
          "sizewalk: private // Scanning Problem: Permission denied: " + dir +
              "private/inner. Directory size reset to zero.\n");
    // Standard error a pipe nobody reads: the same status, the whole block.
    const std::string block = ReadFile(tmp.fs() / "Sizewalk.csv");
    program.insert(program.end(), {"3", dir});
    EXPECT_EQ(RunProgram(program, {}, {}, testing::Output::kBrokenPipe).exit_status, 3);
    EXPECT_EQ(ReadFile(tmp.fs() / "Sizewalk.csv"), block + block);
    fs::permissions(tmp.fs() / "private/inner", fs::perms::owner_all);
}

// A full disk ends a run with the file exactly as before: no file after a
// first run, the earlier report of the day for style 2. With room again the
// next run adds a clean block. Sizes past 2^64 are exact.
TEST(EndToEnd, OnATinyFileSystem) {
    Tmpfs tmpfs("64k");
    if (!tmpfs.mounted()) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const std::string dir = tmpfs.path();
    // Blocks of more than a page, so that no run fits in a page's slack, and
    // three sparse files of 2^63 - 1 bytes (no blocks): 2^64 and more in all.
    for (int i = 10; i < 40; ++i) {
        fs::create_directory(dir + std::to_string(i) + std::string(150, 'n'));
    }
    for (const char* name : {"/a", "/b", "/c"}) {
        tmpfs.File("10" + std::string(150, 'n') + name, (std::uintmax_t{1} << 63) - 1);
    }
    char today[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "Sizewalk_%Y%m%d.txt", std::localtime(&now));
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"1", "Sizewalk.txt", false},  // the failed first run leaves no empty file
        {"1", "Sizewalk.txt", true},
        {"3", "Sizewalk.csv", true},
        {"2", today, true},
    };
    for (const auto& [style, file, existing] : cases) {
        SCOPED_TRACE("style " + style + (existing ? "" : ", first run"));
        if (existing) {
            ASSERT_EQ(RunProgram({SIZEWALK_BINARY, style, dir}).exit_status, 0);
        }
        const std::string before = ReadFile(dir + file);
        for (std::ofstream filler(dir + "filler"); filler << std::string(512, 'x') << std::flush;) {
        }
        const Result full = RunProgram({SIZEWALK_BINARY, style, dir});
        EXPECT_EQ(full.exit_status, 1);
        EXPECT_NE(full.output.find("(Message B61)"), std::string::npos) << full.output;
        EXPECT_EQ(fs::exists(dir + file), existing);
        EXPECT_EQ(ReadFile(dir + file), before);
        fs::remove(dir + "filler");

        ASSERT_EQ(RunProgram({SIZEWALK_BINARY, style, dir}).exit_status, 0);
        const std::string after = ReadFile(dir + file);
        EXPECT_TRUE(after.starts_with(style == "2" ? "" : before));
        EXPECT_NE(after.find(style == "3" ? ",27670116110564327421,"
                                          : "\r\nTOTAL: 27,670,116,110,564,327,421 bytes in 30 "
                                            "subdirectories\r\n"),
                  std::string::npos);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 33)
        << "a temporary file was left behind";
}

// The forecast on a tmpfs of 1 MiB: the free space that statvfs tells, a
// file system mounted below the directory left out; /proc tells none.
TEST(EndToEnd, ForecastOnATmpfsOfKnownSize) {
    EXPECT_EQ(MakeSystemHistory()->FreeSpace("/proc/").value(), std::nullopt);
    Tmpfs tmpfs("1m");
    if (!tmpfs.mounted()) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const std::string dir = tmpfs.path();
    fs::create_directory(dir + "mounted");
    ASSERT_EQ(mount("tmpfs", (dir + "mounted").c_str(), "tmpfs", 0, "size=64k"), 0);
    fs::create_directory_symlink("/", dir + "link");  // on this one, never followed
    for (std::ofstream csv(dir + "Sizewalk.csv"); const int day : {4, 3, 2, 1, 0}) {
        const std::time_t at = std::time(nullptr) - day * 86400;
        char date[16];
        std::strftime(date, sizeof date, "%d/%m/%Y", std::localtime(&at));
        for (const char* name : {"grows", "link", "mounted"}) {
            csv << date << "," << (5 - day) * (name[0] == 'g' ? 10240 : 1 << 20) << "," << name
                << "\r\n";
        }
    }
    const Result json = RunProgram({SIZEWALK_BINARY, "--history", dir, "--format=json"});
    struct statvfs space {};
    ASSERT_EQ(statvfs(dir.c_str(), &space), 0);
    EXPECT_NE(json.output.find(
                  "\"filesystem_free_bytes\": " + std::to_string(space.f_bavail * space.f_frsize) +
                  ", \"growth_per_day\": 1058816, "),
              std::string::npos)
        << json.output;
    EXPECT_NE(json.output.find("\"left_out\": [\"mounted\"]"), std::string::npos);
    umount2((dir + "mounted").c_str(), MNT_DETACH);
}

// A file size limit (ulimit -f, LimitFSIZE=) fails the write, which is
// rolled back, or says it could not be (an append-only file cannot be cut
// back); it does not kill the run mid-line.
TEST(EndToEnd, AFileSizeLimitFailsTheWrite) {
    TempDir tmp;
    fs::create_directory(tmp.fs() / "a");
    const std::string csv = tmp.path() + "Sizewalk.csv";
    const std::string before = std::string(600, 'x') + "\r\n";
    std::ofstream(csv) << before;
    const std::vector<std::string> limited = {"prlimit", "--fsize=610", SIZEWALK_BINARY, "3",
                                              tmp.path()};
    const std::string too_large = "sizewalk: File too large: " + csv;
    EXPECT_EQ(RunProgram(limited).output, too_large + " (Message B75)\n");
    EXPECT_EQ(ReadFile(csv), before);
    // An empty file that was there stays: it is not the run's to remove.
    std::ofstream{tmp.path() + "Sizewalk.txt"};
    EXPECT_EQ(RunProgram({"prlimit", "--fsize=10", SIZEWALK_BINARY, "1", tmp.path()}).exit_status,
              1);
    EXPECT_TRUE(fs::exists(tmp.fs() / "Sizewalk.txt"));
    if (RunProgram({"chattr", "+a", csv}).exit_status != 0) {
        GTEST_SKIP() << "no append-only files here";
    }
    const Result stuck = RunProgram(limited);
    RunProgram({"chattr", "-a", csv});
    EXPECT_EQ(stuck.exit_status, 1);
    EXPECT_EQ(stuck.output, too_large +
                                ", and the file could not be restored: it may hold an "
                                "incomplete report (Message B75)\n");
}

// The separators of real locales end to end: C's; those of a locale whose
// formats have no single separator (ja_JP: 2026年12月07日, 00時23分30秒),
// which gives dd/MM/yyyy and hh:mm:ss; fi_FI's dots and narrow no-break
// space (one column, three bytes). The two are generated for the test.
TEST(EndToEnd, LocaleSeparators) {
    TempDir locales;
    TempDir tmp;
    tmp.File("a/f", 1234);
    const std::string dd = "[0-9]{2}";
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
        {"C", "/", ":", ","},
        {"ja_JP.UTF-8", "/", ":", ","},
        {"fi_FI.UTF-8", "\\.", "\\.", "\u202F"},
    };
    for (const auto& [locale, date, time, group] : cases) {
        SCOPED_TRACE(locale);
        const std::vector<std::string> localedef = {"localedef", "-i",    locale.substr(0, 5),
                                                    "-f",        "UTF-8", locales.path() + locale};
        if (locale != "C" && RunProgram(localedef).exit_status != 0) {
            GTEST_SKIP() << "localedef cannot make " << locale;
        }
        const std::vector<std::string> environment = {"LOCPATH=" + locales.path(),
                                                      "LC_ALL=" + locale};
        ASSERT_EQ(RunProgram({SIZEWALK_BINARY, "3", tmp.path()}, environment).exit_status, 0);
        ASSERT_EQ(RunProgram({SIZEWALK_BINARY, "1", tmp.path()}, environment).exit_status, 0);
        EXPECT_TRUE(std::regex_match(ReadFile(tmp.fs() / "Sizewalk.csv"),
                                     std::regex(dd + date + dd + date + "[0-9]{4},1234,a\r\n")));
        EXPECT_TRUE(
            std::regex_search(ReadFile(tmp.fs() / "Sizewalk.txt"),
                              std::regex(" at [0-9]+-" + dd + "-[0-9]{4} " + dd + time + dd + time +
                                         dd + "\r\n\r\n1" + group + "234 {11}a\r\n")));
        fs::remove(tmp.fs() / "Sizewalk.csv");
        fs::remove(tmp.fs() / "Sizewalk.txt");
    }
}

// A lease on the file (a Samba oplock, an NFS delegation) is waited for,
// never taken for a failure; SIGTERM during that wait ends it at once with
// 128 + 15, the file untouched, before the kernel has broken the lease.
TEST(EndToEnd, LeasesAreWaitedForUntilASignal) {
    TempDir tmp;
    fs::create_directory(tmp.fs() / "a");
    const std::string path = tmp.path() + "Sizewalk.csv";
    std::ofstream(path) << "old\r\n";
    {
        const Lease lease(path);
        if (lease.fd < 0) {
            GTEST_SKIP() << "no lease on this file system";
        }
        const Result run = RunProgram({SIZEWALK_BINARY, "3", tmp.path()}, {}, [&](pid_t) {
            EXPECT_TRUE(testing::SomeoneWaitsFor(path));
            fcntl(lease.fd, F_SETLEASE, F_UNLCK);  // given up
        });
        EXPECT_EQ(run.exit_status, 0) << run.output;
    }
    const std::string before = ReadFile(path);
    EXPECT_TRUE(std::regex_match(before, std::regex("old\r\n.{10},0,a\r\n"))) << before;
    const Lease lease(path);
    const Result run = RunProgram({SIZEWALK_BINARY, "3", tmp.path()}, {}, [&](pid_t pid) {
        EXPECT_TRUE(testing::SomeoneWaitsFor(path));
        kill(pid, SIGTERM);
    });
    EXPECT_EQ(run.exit_status, 128 + SIGTERM);
    EXPECT_EQ(run.output, "sizewalk: User interrupt occurred (signal 15) (Message B18)\n");
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_TRUE(testing::SomeoneWaitsFor(path)) << "the run waited until the kernel broke it";
}

}  // namespace
}  // namespace sizewalk
