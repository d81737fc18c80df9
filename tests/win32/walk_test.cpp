// The Windows walk on several threads: the figures of one thread, links and
// failures as one thread meets them, many reads in flight, and the count of
// threads by drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <sstream>

#include "platform/walk_threads.h"
#include "platform/win32/long_path.h"
#include "platform/win32/walk/thread_choice.h"
#include "win32/folders.h"

namespace sizewalk::win32 {
namespace {

// A tree in memory below the directory `root`, from blank-separated entries:
// "a/" a directory, "a/f=10" a file of 10 bytes; then "@TAG" makes either a
// reparse point with that tag, and a directory is read in N ms with "~N",
// fails with error N with "!N", runs out of memory with "!-1".
struct FakeReader final : public walk::DirectoryReader {
    FakeReader(const std::string& root, const std::string& tree) : root_(LongPath(root).value()) {
        std::istringstream tokens(tree);
        for (std::string token; tokens >> token;) {
            std::size_t at = std::min(token.find_first_of("=@~!"), token.size());
            std::wstring name = Wide(token.substr(0, at));
            std::replace(name.begin(), name.end(), L'/', L'\\');
            WIN32_FIND_DATAW entry{};
            if (name.back() == L'\\') {
                name.pop_back();
                entry.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
            }
            Dir& dir = dirs_[name];
            for (char* end = token.data() + at; *end != '\0';) {
                const char kind = *end;
                const DWORD n = std::strtoul(end + 1, &end, 0);
                entry.nFileSizeLow = kind == '=' ? n : entry.nFileSizeLow;
                entry.dwFileAttributes |= kind == '@' ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
                entry.dwReserved0 = kind == '@' ? n : entry.dwReserved0;
                dir.delay = kind == '~' ? n : dir.delay;
                dir.error = kind == '!' ? n : dir.error;
            }
            const std::size_t slash = name.rfind(L'\\');
            name.substr(slash + 1).copy(entry.cFileName, MAX_PATH - 1);
            dirs_[slash == std::wstring::npos ? L"" : name.substr(0, slash)].entries.push_back(
                entry);
        }
    }

    DWORD Read(const std::wstring& path, const walk::EntryVisitor& visit) override {
        const Dir& dir = dirs_.at(path.substr(std::min(path.size(), root_.size())));
        {
            std::lock_guard lock(mu);
            ++reads;
            most = std::max(most, ++in_flight_);
        }
        Sleep(dir.delay);
        std::lock_guard lock(mu);
        --in_flight_;
        if (dir.error == static_cast<DWORD>(-1)) {
            throw std::bad_alloc();
        }
        std::for_each(dir.entries.begin(), dir.entries.end(), visit);
        return dir.error;
    }

    std::mutex mu;
    std::atomic<int> reads{0};
    int most = 0;  // reads in flight at once
    struct Dir {
        std::vector<WIN32_FIND_DATAW> entries;
        DWORD delay = 0, error = ERROR_SUCCESS;
    };
    const std::wstring root_;
    std::map<std::wstring, Dir> dirs_;
    int in_flight_ = 0;
};

std::string Measure(const std::string& tree, unsigned threads) {
    TempDir dir;
    FolderService service({threads, std::make_shared<FakeReader>(dir.path(), tree)});
    Outcome<std::unique_ptr<FolderListing>> listing = List(service, dir.path());
    return listing.ok() ? Sizes(*listing.value(), dir.path()) : listing.error().description;
}

TEST(Win32Walk, LinksAndFailuresAsOneThreadMeetsThem) {
    // Links are neither listed nor followed nor counted; other reparse points
    // (deduplicated, cloud-tiered, compressed by WOF) are data. One thread
    // walks t/b before t/a: t/a/x fails first with several. A directory that
    // vanished no longer counts, unless it is the tree's first.
    const std::string tree =
        "l/ l/f=1 l/j/@0xA0000003 l/j/g=100 l/s=50@0xA000000C l/d=7@0x80000013 l/w=3@0x80000017 "
        "l/c/@0x9000001A l/c/h=2 j/@0xA0000003 t/ t/a/ t/a/x/!5 t/b/ t/b/y/!32~60 "
        "u/ u/v/!3 u/f=4 w/!3";
    for (const unsigned threads : {1u, 8u}) {
        EXPECT_EQ(Measure(tree, threads), "l=13 t=!t\\b\\y u=4 w=!w ") << threads;
        // Out of memory on a thread is out of memory in Size().
        EXPECT_THROW(Measure("t/ t/a/!-1", threads), std::bad_alloc) << threads;
    }
}

TEST(Win32Walk, ManyReadsInFlightProgressWhileWaitingAndStopped) {
    TempDir dir;
    // The threads wait while the trees' first directories are read (longer
    // than the threads take to start), then share the subdirectories.
    std::string tree = "a/ t0/~400 t1/~100 t2/~100 z/~400";
    for (int i = 0; i < 120; ++i) {
        std::string sub = "t";  // appended: GCC 12 at -O3 warns (-Wrestrict) of "t" + temporary
        sub.append(std::to_string(i / 40)).append("/").append(std::to_string(i)).append("/");
        tree += " " + sub + "~10 " + sub + "f=1";
    }
    for (int i = 0; i < 5000; ++i) {
        tree += " z/" + std::to_string(i) + "/~20";
    }
    for (const unsigned threads : {1u, 32u}) {
        SCOPED_TRACE(threads);
        auto reader = std::make_shared<FakeReader>(dir.path(), tree);
        FolderService service({threads, reader, std::chrono::milliseconds(5)});
        std::vector<ScanProgress> reports;
        auto listing =
            List(service, dir.path(), [&](const ScanProgress& p) { reports.push_back(p); });
        for (std::size_t i = 1; i <= 3; ++i) {
            EXPECT_EQ(static_cast<int>(listing.value()->Size(i).value()), 40);
        }
        EXPECT_GE(reader->most, static_cast<int>(threads / 2));
        EXPECT_GT(reports.size(), 3u);  // also while a tree is measured
        EXPECT_EQ(reports.back().files_seen, 120u);
        // Dropped, the listing reads no more.
        listing.value().reset();
        const int reads = reader->reads;
        Sleep(100);
        EXPECT_EQ(reader->reads, reads);
    }
}

// A stop (the console's Ctrl+C) ends Size() with the interruption while the
// tree is still being walked, and the walk reads no further.
TEST(Win32Walk, AStopEndsTheWalk) {
    TempDir dir;
    std::string tree = "a/";
    for (int i = 0; i < 200; ++i) {
        tree += " a/" + std::to_string(i) + "/~5";
    }
    for (const unsigned threads : {1u, 4u}) {
        SCOPED_TRACE(threads);
        auto reader = std::make_shared<FakeReader>(dir.path(), tree);
        StopFlag stop{0};
        FolderService service({threads, reader, std::chrono::milliseconds(5), &stop});
        auto listing = List(service, dir.path(), [&](const ScanProgress&) {
            if (reader->reads >= 10) {
                stop.store(SIGINT);
            }
        });
        const Outcome<ByteCount> size = listing.value()->Size(0);
        ASSERT_FALSE(size.ok());
        EXPECT_EQ(size.error(), Interrupted(SIGINT));
        EXPECT_LT(reader->reads, 60);
    }
}

UINT FakeDriveType(const wchar_t* root) {
    const std::wstring_view path = root;
    return path == L"Z:\\" || path == LR"(\\?\Volume{1}\)" ? DRIVE_REMOTE : DRIVE_FIXED;
}

TEST(Win32Walk, ThreadsByDrive) {
    const unsigned local = LocalWalkThreads();
    const std::vector<std::tuple<std::wstring, const char*, unsigned>> cases = {
        {LR"(\\?\unc\server\share\dir)", "", kNetworkWalkThreads},
        {LR"(\\?\Z:\dir)", nullptr, kNetworkWalkThreads},
        {LR"(\\?\Volume{1}\dir)", nullptr, kNetworkWalkThreads},
        {LR"(\\?\C:\Z:\dir)", nullptr, local},
        {LR"(\\?\UNC\server\share\)", "1", 1},
        {LR"(\\?\C:\)", "256", 256},
        {LR"(\\?\C:\)", "257", local},  // a count ParseWalkThreads refuses
    };
    for (const auto& [dir, requested, expected] : cases) {
        EXPECT_EQ(walk::WalkThreadsFor(dir, requested, &FakeDriveType), expected)
            << Narrow(dir) << " " << (requested ? requested : "null");
    }
    // Wine's C: is a local disk.
    EXPECT_EQ(walk::WalkThreadsFor(LR"(\\?\C:\)", nullptr), local);
    ASSERT_TRUE(SetEnvironmentVariableW(L"SIZEWALK_THREADS", L"7"));
    EXPECT_EQ(walk::RequestedWalkThreads(), "7");
    SetEnvironmentVariableW(L"SIZEWALK_THREADS", nullptr);
}

}  // namespace
}  // namespace sizewalk::win32
