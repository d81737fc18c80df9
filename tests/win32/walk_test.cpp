// The Windows walk on several threads: the figures of one thread, links and
// failures as one thread meets them, many reads in flight, and the count of
// threads by drive.
#include <gtest/gtest.h>

#include <algorithm>
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

namespace fs = std::filesystem;

// A tree in memory below the directory `root`, from blank-separated entries:
// "a/" a directory, "a/f=10" a file of 10 bytes; then "@TAG" makes either a
// reparse point with that tag, and a directory is read in N ms with "~N",
// fails with error N with "!N", runs out of memory with "%".
class FakeReader final : public DirectoryReader {
  public:
    FakeReader(const std::string& root, const std::string& spec) : root_(LongPath(root).value()) {
        std::istringstream tokens(spec);
        for (std::string token; tokens >> token;) {
            std::size_t at = std::min(token.find_first_of("=@~!%"), token.size());
            std::wstring name = Wide(token.substr(0, at));
            std::replace(name.begin(), name.end(), L'/', L'\\');
            WIN32_FIND_DATAW entry{};
            if (name.back() == L'\\') {
                name.pop_back();
                entry.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
            }
            Dir& dir = dirs_[name];
            while (at < token.size()) {
                const char kind = token[at];
                char* end = nullptr;
                const unsigned long n = std::strtoul(token.c_str() + at + 1, &end, 0);
                at = static_cast<std::size_t>(end - token.c_str());
                entry.nFileSizeLow = kind == '=' ? n : entry.nFileSizeLow;
                entry.dwFileAttributes |= kind == '@' ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
                entry.dwReserved0 = kind == '@' ? n : entry.dwReserved0;
                dir.delay = kind == '~' ? n : dir.delay;
                dir.error = kind == '!' ? n : dir.error;
                dir.throws = dir.throws || kind == '%';
            }
            const std::size_t slash = name.rfind(L'\\');
            name.substr(slash + 1).copy(entry.cFileName, MAX_PATH - 1);
            dirs_[slash == std::wstring::npos ? L"" : name.substr(0, slash)].entries.push_back(
                entry);
        }
    }

    DWORD Read(const std::wstring& path, const EntryVisitor& visit) override {
        const Dir& dir = dirs_.at(path.substr(std::min(path.size(), root_.size())));
        {
            std::lock_guard lock(mu_);
            ++reads;
            most = std::max(most, ++in_flight_);
        }
        Sleep(dir.delay);
        {
            std::lock_guard lock(mu_);
            --in_flight_;
        }
        if (dir.throws) {
            throw std::bad_alloc();
        }
        std::for_each(dir.entries.begin(), dir.entries.end(), visit);
        return dir.error;
    }

    std::mutex mu_;
    int reads = 0;
    int most = 0;  // reads in flight at once

  private:
    struct Dir {
        std::vector<WIN32_FIND_DATAW> entries;
        DWORD delay = 0;
        DWORD error = ERROR_SUCCESS;
        bool throws = false;
    };
    const std::wstring root_;
    std::map<std::wstring, Dir> dirs_;
    int in_flight_ = 0;
};

std::string Measure(const std::string& spec, unsigned threads) {
    TempDir dir;
    Win32FolderService service({threads, std::make_shared<FakeReader>(dir.path(), spec)});
    Outcome<std::unique_ptr<FolderListing>> listing = List(service, dir.path());
    return listing.ok() ? Sizes(*listing.value(), dir.path()) : listing.error().description;
}

TEST(Win32Walk, TheFiguresOfOneThreadWithMany) {
    TempDir dir;
    dir.File("hard/f", 1000);
    dir.File("other/i", 5);
    fs::create_hard_link(dir.fs() / "hard/f", dir.fs() / "hard/g");
    fs::create_hard_link(dir.fs() / "hard/f", dir.fs() / "other/h");
    std::uint64_t many = 0;
    for (int i = 0; i < 300; many += i++) {
        dir.File(fs::path("many") / std::to_string(i % 12) / std::to_string(i) / "f", i);
    }
    fs::path deep = "deep";
    for (int i = 0; i < 40; ++i) {
        dir.File((deep /= std::string(12, 'a' + i % 26)) / "f", 1);
    }
    const std::string expected = "deep=40 hard=2000 many=" + std::to_string(many) + " other=1005 ";
    for (const unsigned threads : {1u, 2u, 64u}) {
        Win32FolderService service({threads});
        EXPECT_EQ(Sizes(*List(service, dir.path()).value()), expected) << threads;
    }
}

TEST(Win32Walk, LinksAndFailuresAsOneThreadMeetsThem) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        // Links neither listed nor followed nor counted; other reparse points are data.
        {"t/ t/f=1 t/j/@0xA0000003 t/j/g=100 t/s=50@0xA000000C t/d=7@0x80000013 "
         "t/c/@0x9000001A t/c/h=2 j/@0xA0000003",
         "t=10 "},
        // One thread walks b before a; a's failure comes first with several.
        {"t/ t/a/ t/a/x/!5 t/b/ t/b/y/!32~60 u/ u/f=3", "t=!t\\b\\y u=3 "},
        // A directory that vanished no longer counts, unless it is the tree's first.
        {"t/ t/v/!3 t/f=4 w/!3", "t=4 w=!w "},
    };
    for (const auto& [spec, expected] : cases) {
        for (const unsigned threads : {1u, 8u}) {
            EXPECT_EQ(Measure(spec, threads), expected) << spec << ", threads " << threads;
        }
    }
    // Out of memory on a thread is out of memory in Size().
    for (const unsigned threads : {1u, 8u}) {
        EXPECT_THROW(Measure("t/ t/a/%", threads), std::bad_alloc) << threads;
    }
}

TEST(Win32Walk, ManyReadsInFlightProgressWhileWaitingAndStopped) {
    TempDir dir;
    std::string spec = "a/ t0/ t1/ t2/ z/";
    for (int i = 0; i < 120; ++i) {
        const std::string sub = "t" + std::to_string(i / 40) + "/" + std::to_string(i) + "/";
        spec += " " + sub + "~20 " + sub + "f=1";
    }
    for (int i = 0; i < 400; ++i) {
        spec += " z/" + std::to_string(i) + "/~50";
    }
    auto reader = std::make_shared<FakeReader>(dir.path(), spec);
    Win32FolderService service({32, reader, std::chrono::milliseconds(5)});
    std::vector<ScanProgress> reports;
    auto listing = List(service, dir.path(), [&](const ScanProgress& p) { reports.push_back(p); });
    for (std::size_t i = 1; i <= 3; ++i) {
        EXPECT_EQ(static_cast<int>(listing.value()->Size(i).value()), 40);
    }
    EXPECT_GE(reader->most, 16);
    EXPECT_GT(reports.size(), 3u);  // not only when a tree is done
    EXPECT_EQ(reports.back().files_seen, 120u);
    // Dropped, the listing stops measuring ahead.
    listing.value().reset();
    EXPECT_LT(reader->reads, 1 + 1 + 123 + 1 + 200);
}

TEST(Win32Walk, ThreadsByDrive) {
    const unsigned local = LocalWalkThreads();
    const std::vector<std::tuple<std::wstring, const char*, unsigned>> cases = {
        {LR"(\\?\UNC\server\share\dir)", nullptr, kNetworkWalkThreads},
        {LR"(\\?\unc\server\share\)", "", kNetworkWalkThreads},
        {LR"(\\?\Z:\dir)", nullptr, kNetworkWalkThreads},
        {LR"(\\?\Volume{1}\dir)", nullptr, kNetworkWalkThreads},
        {LR"(\\?\C:\dir)", nullptr, local},
        {LR"(\\?\C:\Z:\dir)", nullptr, local},
        {LR"(\\?\UNC\server\share\)", "1", 1},
        {LR"(\\?\C:\)", "256", 256},
        {LR"(\\?\C:\)", "257", local},
        {LR"(\\?\C:\)", "0", local},
        {LR"(\\?\C:\)", "-8", local},
        {LR"(\\?\C:\)", "8x", local},
        {LR"(\\?\C:\)", "99999999999999999999", local},
    };
    for (const auto& [dir, requested, expected] : cases) {
        EXPECT_EQ(
            WalkThreadsFor(dir, requested,
                           [](const wchar_t* root) -> UINT {
                               const std::wstring_view remote[] = {L"Z:\\", LR"(\\?\Volume{1}\)"};
                               return std::find(std::begin(remote), std::end(remote), root) !=
                                              std::end(remote)
                                          ? DRIVE_REMOTE
                                          : DRIVE_FIXED;
                           }),
            expected)
            << Narrow(dir) << " " << (requested ? requested : "null");
    }
    // Wine's C: is a local disk.
    EXPECT_EQ(WalkThreadsFor(LR"(\\?\C:\)", nullptr), local);
}

}  // namespace
}  // namespace sizewalk::win32
