// The POSIX services against real files: what counts toward a size, how the
// tracking file is opened, and how errno becomes a runtime number.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <filesystem>

#include "platform/platform.h"
#include "platform/posix/file_service.h"
#include "platform/posix/folder_service.h"
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
        for (OpenMode mode : {OpenMode::kAppend, OpenMode::kOutput}) {
            auto file = files.Open(tmp.path() + name, mode);  // must not hang on the FIFO
            ASSERT_FALSE(file.ok()) << name;
            EXPECT_EQ(file.error().number, 75) << file.error().description;
        }
    }
    EXPECT_EQ(fs::file_size(tmp.fs() / "victim"), 0u);
    EXPECT_TRUE(files.Exists(tmp.path() + "Sizewalk.txt").value()) << "a link is there";
    EXPECT_FALSE(files.Exists(tmp.path() + "none").value());
}

TEST(PosixFileService, ModesLinesAndLock) {
    TempDir tmp;
    const std::string path = tmp.path() + "Sizewalk.csv";
    PosixFileService files;
    const auto write = [&](OpenMode mode, const char* line, bool check_lock) {
        auto file = files.Open(path, mode);
        ASSERT_TRUE(file.ok());
        ASSERT_FALSE(file.value()->WriteLine(line));
        if (check_lock) {  // a second run waits: the lock is taken
            const int other = open(path.c_str(), O_RDONLY);
            EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), -1);
            EXPECT_EQ(errno, EWOULDBLOCK);
            close(other);
        }
        ASSERT_FALSE(file.value()->Close());
    };
    const mode_t old_mask = umask(027);
    write(OpenMode::kAppend, "one", true);
    umask(old_mask);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    write(OpenMode::kAppend, "two", false);
    EXPECT_EQ(testing::ReadFile(path), "one\r\ntwo\r\n");
    write(OpenMode::kOutput, "new", false);
    EXPECT_EQ(testing::ReadFile(path), "new\r\n");
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

TEST(PosixLocale, SeparatorOfFormat) {
    const std::vector<std::pair<std::string, std::string>> table = {
        {"%d.%m.%Y", "."}, {"%m/%d/%y", "/"}, {"%Y-%m-%d", "-"}, {"%D", "/"},
        {"%H:%M:%S", ":"}, {"%T", ":"},       {"%Hh%M", "h"},    {"%Y年%m月%d日", "年"},
        {"%d%m%Y", "?"},   {"", "?"},
    };
    for (const auto& [format, separator] : table) {
        EXPECT_EQ(SeparatorOfFormat(format, "?"), separator) << format;
    }
}

}  // namespace
}  // namespace sizewalk
