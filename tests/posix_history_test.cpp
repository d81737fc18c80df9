// The history on a real file system: a run that writes is waited for, a
// file is read to its size at opening, its owner is checked, a report file
// appears whole or not at all; the program end to end.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "history/history.h"
#include "platform/history_system.h"
#include "platform/posix/history_files.h"
#include "temp_dir.h"

namespace sizewalk {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::ReadFile;
using testing::RunProgram;
using testing::TempDir;

TEST(PosixHistory, LockedOwnedAndReadToItsSizeAtOpening) {
    TempDir tmp;
    const std::string path = tmp.path() + "Sizewalk.csv";
    std::ofstream(path) << "first\n";
    const std::unique_ptr<HistorySystem> system = MakeSystemHistory();
    {
        const int writer = open(path.c_str(), O_WRONLY | O_APPEND);
        ASSERT_EQ(flock(writer, LOCK_EX), 0);
        const auto busy = system->OpenForReading(path, std::chrono::milliseconds(200));
        ASSERT_FALSE(busy.ok());
        EXPECT_TRUE(busy.error().description.ends_with(kFileBusy));
        close(writer);
    }
    auto file = system->OpenForReading(path, std::chrono::milliseconds(200));
    ASSERT_TRUE(file.ok());
    std::ofstream(path, std::ios::app) << "appended meanwhile\n";
    EXPECT_EQ(ReadAll(*file.value()), "first\n");
    EXPECT_TRUE(file.value()->TrustedOwner());
    if (geteuid() == 0) {  // someone else's file, in a directory of root's or of that user's
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(system->OpenForReading(path, {}).value()->TrustedOwner());
        ASSERT_EQ(chown(tmp.path().c_str(), 65534, 65534), 0);
        EXPECT_TRUE(system->OpenForReading(path, {}).value()->TrustedOwner());
    }

    ASSERT_EQ(mkfifo((tmp.path() + "fifo").c_str(), 0600), 0);
    fs::create_directory(tmp.fs() / "dir");
    fs::create_symlink("Sizewalk.csv", tmp.fs() / "link");
    std::map<std::string, FileKind> kinds;
    const auto listed = system->ListFiles(tmp.path());
    for (const ListedFile& entry : listed.value()) {
        kinds[entry.name] = entry.kind;
    }
    EXPECT_EQ(kinds, (std::map<std::string, FileKind>{{"Sizewalk.csv", FileKind::kRegular},
                                                      {"dir", FileKind::kDirectory},
                                                      {"fifo", FileKind::kOther},
                                                      {"link", FileKind::kLink}}));
}

// The program reads back what its runs wrote, only from plain files (a FIFO
// or a link under a tracking file's name is named), writes nothing into the
// directory, and replaces the metrics file only with a whole report, which
// the exporter may read.
TEST(PosixHistory, ReadsTheRunsBackAndWritesNothing) {
    TempDir tmp;
    tmp.File("alpha/a", 1000);
    for (const char* style : {"1", "3", "3"}) {
        ASSERT_EQ(RunProgram({SIZEWALK_BINARY, style, tmp.path()}).exit_status, 0);
        tmp.File("alpha/b", style[0] == '1' ? 0 : 500);  // grows after the second run
    }
    ASSERT_EQ(mkfifo((tmp.path() + "Sizewalk_20031005.txt").c_str(), 0600), 0);
    fs::create_symlink(tmp.fs() / "Sizewalk.txt", tmp.fs() / "Sizewalk_20031006.txt");
    const auto snapshot = [&tmp] {
        std::string entries;
        for (const auto& entry : fs::directory_iterator(tmp.fs())) {
            entries += entry.path().string() +
                       std::to_string(entry.last_write_time().time_since_epoch().count());
        }
        return entries;
    };
    const std::string before = snapshot();
    const testing::Result csv =
        RunProgram({SIZEWALK_BINARY, "--history", tmp.path(), "--format=csv"});
    EXPECT_EQ(csv.exit_status, 0);
    EXPECT_NE(csv.output.find("\r\nalpha,1500,2"), std::string::npos) << csv.output;
    EXPECT_NE(csv.output.find(",1,+500,"), std::string::npos) << csv.output;
    EXPECT_NE(csv.output.find("Sizewalk_20031005.txt: not a regular file"), std::string::npos);
    EXPECT_NE(csv.output.find("Sizewalk_20031006.txt: a symbolic link"), std::string::npos);
    const auto page = history::WriteHistoryPage(tmp.path(), *MakeSystemHistory());
    ASSERT_TRUE(page.ok() && page.value());
    EXPECT_NE(ReadFile(*page.value()).find("<svg"), std::string::npos);
    fs::remove(*page.value());
    EXPECT_EQ(snapshot(), before);

    TempDir out;  // a link where the metrics file goes is replaced, not followed
    const std::string prom = out.path() + "sizewalk.prom";
    std::ofstream(out.path() + "target") << "kept";
    fs::create_symlink("target", prom);
    ASSERT_FALSE(MakeSystemHistory()->Replace(prom).value()->Write("dropped, never committed"));
    const auto run = [&](const std::string& dir) {
        return RunProgram(
                   {SIZEWALK_BINARY, "--history", dir, "--format=openmetrics", "--output=" + prom})
            .exit_status;
    };
    EXPECT_EQ(run(tmp.path()), 0);
    EXPECT_EQ(run(tmp.path() + "missing/"), 1);
    EXPECT_TRUE(ReadFile(prom).ends_with("# EOF\n"));
    EXPECT_NE(fs::status(prom).permissions() & fs::perms::others_read, fs::perms::none);
    EXPECT_EQ(ReadFile(out.path() + "target"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(out.fs()), fs::directory_iterator()), 2);
    const testing::Result passwd = RunProgram({SIZEWALK_BINARY, "--history", "/etc/passwd"});
    EXPECT_EQ(passwd.output, "sizewalk: Not a directory: /etc/passwd/\n");
}

// The window's pages of more than a day ago go; others' files, links and
// newer pages stay.
TEST(PosixHistory, OldPagesRemoved) {
    TempDir tmp;
    const char* saved = std::getenv("TMPDIR");
    setenv("TMPDIR", tmp.path().c_str(), 1);
    const std::time_t now = std::time(nullptr);
    for (const char* name : {"sizewalk-history-old.html", "sizewalk-history-new.html", "other"}) {
        std::ofstream(tmp.path() + name) << "x";
    }
    fs::create_symlink("other", tmp.fs() / "sizewalk-history-link.html");
    for (const char* name : {"sizewalk-history-old.html", "other", "sizewalk-history-link.html"}) {
        const timespec old[2] = {{now - 90000, 0}, {now - 90000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (tmp.path() + name).c_str(), old, AT_SYMLINK_NOFOLLOW), 0);
    }
    posix::RemoveOldHistoryPages(now);
    saved != nullptr ? setenv("TMPDIR", saved, 1) : unsetenv("TMPDIR");
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(tmp.fs())) {
        left.insert(entry.path().filename());
    }
    EXPECT_EQ(left, (std::set<std::string>{"other", "sizewalk-history-link.html",
                                           "sizewalk-history-new.html"}));
}

}  // namespace
}  // namespace sizewalk
