// The parallel walk behind the POSIX folder service, with any number of
// threads: failures injected at any call (the report names the smallest
// failing path), a tree that changes while it is walked, very deep trees
// under few descriptors, directory cycles, progress and a listing destroyed
// halfway. Its sums over a tree of every kind of entry: the edge tree end to
// end.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/posix/folder_service.h"
#include "platform/walk_threads.h"
#include "temp_dir.h"

namespace sizewalk {
namespace {

namespace fs = std::filesystem;
using testing::Measure;
using testing::TempDir;

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Removes a directory just before the walk opens it and a file just before
// it is stat'ed; refuses to open, read or stat on demand; holds the first
// directory opened from `held` back until `stolen` is opened (which only a
// thief does then, taking from the other end).
class ChangingTree : public posix::walk::DirectoryCalls {
  public:
    std::string remove_dir;  // path of the directory named "vanishing"
    std::set<std::string> denied;
    ino_t unreadable_dir = 0;
    std::string failing_stat;
    std::string stolen, held;

    int OpenDirectory(int parent, const char* name) override {
        if (std::string_view(name) == "vanishing") {
            fs::remove_all(remove_dir);
        }
        if (name == held || name == stolen) {
            std::unique_lock lock(mu_);
            stolen_opened_ |= name == stolen;
            cv_.notify_all();
            cv_.wait_for(lock, std::chrono::seconds(10), [&] { return stolen_opened_; });
        }
        if (denied.count(name) > 0) {
            errno = EACCES;
            return -1;
        }
        return DirectoryCalls::OpenDirectory(parent, name);
    }
    long ReadEntries(int fd, void* buffer, std::size_t size) override {
        struct stat st {};
        if (fstat(fd, &st) == 0 && st.st_ino == unreadable_dir) {
            errno = EIO;
            return -1;
        }
        return DirectoryCalls::ReadEntries(fd, buffer, size);
    }
    int StatEntry(int dir, const char* name, struct stat* st) override {
        if (std::string_view(name) == "vanishing-file") {
            unlinkat(dir, name, 0);
        }
        if (name == failing_stat) {
            errno = EIO;
            return -1;
        }
        return DirectoryCalls::StatEntry(dir, name, st);
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool stolen_opened_ = false;
};

TEST(Engine, ChangesAndFailuresDuringTheWalk) {
    TempDir tmp;
    // Enough directories for all threads to share; in b they are shared one
    // level down, where a wrong path would show.
    for (int i = 0; i < 64; ++i) {
        const std::string tail = std::to_string(i % 16) + "/t" + std::to_string(i) + "/f";
        tmp.File("a/s" + tail, 1);
        tmp.File("b/z/x" + tail, 1);
        tmp.File("c/s" + tail, 1);
    }
    tmp.File("c/s6/t6/broken/f", 100);
    for (const char* name : {"y3", "y7", "y0", "y9", "y5", "y1", "y8", "y2", "y6", "y4"}) {
        tmp.File("d/" + std::string(name) + "/f", 1);
    }
    tmp.File("e/f", 1);
    auto calls = std::make_shared<ChangingTree>();
    std::vector<std::string> order;  // of b/z as the walk reads it
    for (const auto& entry : fs::directory_iterator(tmp.fs() / "b/z")) {
        order.push_back(entry.path().filename());
    }
    tmp.File("b/z/" + order.front() + "/bad-file", 1);
    calls->failing_stat = "bad-file";
    calls->stolen = order.front();
    calls->held = order.back();
    // Of three failing parts of d, the report names the smallest, not the one
    // met first or last: a walker takes the listing from its end, thieves
    // from its start.
    std::vector<std::string> met;
    for (const auto& entry : fs::directory_iterator(tmp.fs() / "d")) {
        met.insert(met.begin(), entry.path().filename());
    }
    auto first = met.begin(), last = met.end() - 1, smallest = first;
    while ((smallest = std::min_element(first, last + 1)) == first || smallest == last) {
        ASSERT_LT(first + 2, last) << "the file system lists names sorted";
        smallest == first ? ++first : --last;
    }
    calls->denied = {*first, *smallest, *last, "e"};
    calls->remove_dir = tmp.path() + "a/s3/t3/vanishing";
    struct stat st {};
    ASSERT_EQ(stat((tmp.path() + "c/s6/t6/broken").c_str(), &st), 0);
    calls->unreadable_dir = st.st_ino;
    for (unsigned threads : {2u, 8u}) {
        tmp.File("a/s3/t3/vanishing/deeper/f", 100);  // removed as the walk gets there
        tmp.File("a/s4/vanishing-file", 100);
        EXPECT_EQ(Measure(tmp.path(), {threads, calls}),
                  "a\t64\nb\t57 Device I/O error: " + tmp.path() + "b/z/" + order.front() +
                      "/bad-file\nc\t57 Device I/O error: " + tmp.path() +
                      "c/s6/t6/broken\nd\t70 Permission denied: " + tmp.path() + "d/" + *smallest +
                      "\ne\t70 Permission denied: " + tmp.path() + "e\n")
            << threads << " threads";
    }
}

// A file system that gives no entry types (DT_UNKNOWN, as some network and
// FUSE ones do): every entry is stat'ed, and links are still not followed.
class NoEntryTypes : public posix::walk::DirectoryCalls {
    long ReadEntries(int fd, void* buffer, std::size_t size) override {
        const long length = DirectoryCalls::ReadEntries(fd, buffer, size);
        for (auto* at = static_cast<char*>(buffer); at < static_cast<char*>(buffer) + length;) {
            auto* entry = reinterpret_cast<dirent64*>(at);
            entry->d_type = DT_UNKNOWN;
            at += entry->d_reclen;
        }
        return length;
    }
};

TEST(Engine, LinksWhereTheFileSystemGivesNoEntryTypes) {
    TempDir tmp;
    tmp.File("a/d/f", 2);
    tmp.File("target/f", 100);
    for (const char* link : {"link", "a/dir-link"}) {
        fs::create_symlink(tmp.fs() / "target", tmp.fs() / link);
    }
    fs::create_symlink(tmp.fs() / "target/f", tmp.fs() / "a/d/file-link");
    EXPECT_EQ(Measure(tmp.path(), {2, std::make_shared<NoEntryTypes>()}), "a\t2\ntarget\t100\n");
}

void WriteAt(int dir, const char* name, std::string_view bytes) {
    const int fd = openat(dir, name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
}

// A chain of `levels` directories "d" in a directory of its own (on tmpfs
// when there is one: thousands of mkdirs are slow on a disk), each holding a
// file "f" of one byte and a directory "e" with a file of two bytes. The
// sibling "e" keeps a directory open on the way down, so a walk needs one
// descriptor per level unless it closes and reopens them. Too deep for any
// path. Beside the chain "deep", a plain subdirectory "next".
class DeepTree {
  public:
    explicit DeepTree(int levels) {
        std::string pattern =
            (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
            "sizewalk-deep-XXXXXX";
        top_ = mkdtemp(pattern.data()) != nullptr ? pattern : "/nonexistent";
        fs::create_directories(top_ + "/deep");
        fs::create_directories(top_ + "/next");
        std::ofstream(top_ + "/next/f") << "sixsix";
        int fd = open((top_ + "/deep").c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < levels && fd >= 0; ++i) {
            // In either order, so that "d" comes first on half of the levels
            // whatever order the file system lists them in.
            mkdirat(fd, i % 2 == 0 ? "d" : "e", 0755);
            mkdirat(fd, i % 2 == 0 ? "e" : "d", 0755);
            WriteAt(fd, "f", "f");
            WriteAt(fd, "e/f", "ef");
            const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = next;
        }
        close(fd);
    }
    // rm walks by descriptor, so it reaches a bottom that no path does.
    ~DeepTree() { testing::RunProgram({"rm", "-rf", top_}); }
    std::string top_;
};

TEST(Engine, DeepTreeUnderALowDescriptorLimit) {
    constexpr int kLevels = 5000;
    const DeepTree deep(kLevels);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    const rlimit low{256, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const std::size_t before = OpenDescriptors();
    // One walker with frames to spare; as many as the limit allows, with
    // none to spare.
    for (unsigned threads : {1u, 64u}) {
        EXPECT_EQ(Measure(deep.top_ + "/", {threads, nullptr}),
                  "deep\t" + std::to_string(3 * kLevels) + "\nnext\t6\n")
            << threads << " threads";
        EXPECT_EQ(OpenDescriptors(), before) << "descriptors left open";
    }
    setrlimit(RLIMIT_NOFILE, &saved);
}

TEST(Engine, ProgressOnTheCallingThreadAndEarlyDestruction) {
    TempDir tmp;
    for (int i = 0; i < 300; ++i) {
        std::string relative = "s";  // appended to: "s" + ... makes g++ 12 warn (-Wrestrict)
        relative +=
            std::to_string(i % 3) + "/t" + std::to_string(i % 30) + "/f" + std::to_string(i);
        tmp.File(relative, 1);
    }
    std::vector<ScanProgress> seen;
    const auto caller = std::this_thread::get_id();
    bool other_thread = false;
    Measure(tmp.path(), {4, nullptr}, [&](const ScanProgress& p) {
        other_thread |= std::this_thread::get_id() != caller;
        seen.push_back(p);
    });
    EXPECT_FALSE(other_thread);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.back().entries_done, 3u);
    EXPECT_EQ(seen.back().files_seen, 300u);

    // Destroyed after the first entry, with the rest still being measured.
    const std::size_t before = OpenDescriptors();
    for (unsigned threads : {1u, 8u}) {
        posix::FolderService service({threads, nullptr});
        auto listing = testing::List(service, tmp.path());
        ASSERT_TRUE(listing.ok());
        EXPECT_EQ(listing.value()->Size(0).value(), 100u);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

// Directories named "up-0" and "up-1" lead to their parent and its parent,
// "alias" to its sibling "x", as bind mounts or a server's links would. At
// most 1000 times, so that a walk that goes round fails instead of hanging.
// Opening a directory whose name begins with "s" takes a millisecond, so that
// thieves take a's first subdirectories while its owner walks the last ones.
class Cycles : public posix::walk::DirectoryCalls {
  public:
    int OpenDirectory(int parent, const char* name) override {
        const std::map<std::string_view, const char*> targets = {
            {"up-0", "."}, {"up-1", ".."}, {"alias", "../x"}};
        const auto target = targets.find(name);
        if (name[0] == 's') {
            usleep(1000);
        }
        if (target == targets.end()) {
            return DirectoryCalls::OpenDirectory(parent, name);
        }
        errno = ENOENT;
        return --left_ < 0 ? -1 : openat(parent, target->second, O_RDONLY | O_DIRECTORY);
    }

  private:
    std::atomic<int> left_{1000};
};

// As du, a directory already on the path being walked is not descended into,
// also where the path began on another thread (the cycle is in the first
// subdirectory of a's listing, which a thief takes) or above the tree (b
// leads to the listed directory); a directory met twice elsewhere is no cycle.
TEST(Engine, DirectoryCycles) {
    TempDir tmp;
    for (int i = 0; i < 16; ++i) {
        tmp.File("a/s" + std::to_string(i) + "/f", 1);
    }
    const std::string first = fs::directory_iterator(tmp.fs() / "a")->path().filename();
    tmp.File("a/" + first + "/up-1/f", 1);
    tmp.File("b/up-1/f", 1);
    tmp.File("c/up-0/f", 1);
    tmp.File("d/x/f", 1);
    tmp.File("d/y/alias/f", 1);
    const std::string cycle = "\t75 Directory cycle: " + tmp.path();
    for (unsigned threads : {1u, 8u}) {
        EXPECT_EQ(Measure(tmp.path(), {threads, std::make_shared<Cycles>()}),
                  "a" + cycle + "a/" + first + "/up-1\nb" + cycle + "b/up-1\nc" + cycle +
                      "c/up-0\nd\t2\n")
            << threads << " threads";
    }
}

// Directory opens and stats that take `pause` each, as round trips to a
// server would, counted at their most in flight at once; reads of a few
// dozen entries at a time, as FUSE gives them.
class SlowCalls : public posix::walk::DirectoryCalls {
  public:
    SlowCalls(std::chrono::microseconds open, std::chrono::microseconds stat, bool network)
        : open_(open), stat_(stat), network_(network) {}
    std::atomic<int> most_opens{0}, most_stats{0};

    posix::walk::FileSystemKind FileSystemOf(int fd) override {
        return network_ ? posix::walk::FileSystemKind::kNetwork : DirectoryCalls::FileSystemOf(fd);
    }

    int OpenDirectory(int parent, const char* name) override {
        const InFlight counted(opens_, most_opens, open_);
        return DirectoryCalls::OpenDirectory(parent, name);
    }
    long ReadEntries(int fd, void* buffer, std::size_t size) override {
        return DirectoryCalls::ReadEntries(fd, buffer, std::min<std::size_t>(size, 2048));
    }
    int StatEntry(int dir, const char* name, struct stat* st) override {
        const InFlight counted(stats_, most_stats, stat_);
        return DirectoryCalls::StatEntry(dir, name, st);
    }

  private:
    struct InFlight {
        InFlight(std::atomic<int>& now, std::atomic<int>& most, std::chrono::microseconds pause)
            : now_(now) {
            const int count = ++now;
            for (int seen = most.load();
                 count > seen && !most.compare_exchange_weak(seen, count);) {
            }
            std::this_thread::sleep_for(pause);
        }
        ~InFlight() { --now_; }
        std::atomic<int>& now_;
    };
    const std::chrono::microseconds open_, stat_;
    const bool network_;
    std::atomic<int> opens_{0}, stats_{0};
};

// Where every request waits for a server, the walk keeps many in flight:
// thieves open what they took outside its owner's lock, the files of one
// large directory are stat'ed by many workers, the default takes on workers
// while all wait (more than it starts with), and on a network file system
// starts with more than a doubling of the local default would give in the
// time. The sums stay exact.
TEST(Engine, ManyRequestsInFlightWhereEachIsSlow) {
    using std::chrono::microseconds;
    const int local = static_cast<int>(LocalWalkThreads());
    struct Row {
        unsigned threads;
        bool network;
        microseconds open, stat;
        int dirs, files;  // below "a": dirs with files each, or one directory
        int most_opens, most_stats;
    };
    const std::vector<Row> rows = {
        {32, false, microseconds(20000), microseconds(0), 64, 1, 8, 0},
        {16, false, microseconds(0), microseconds(2000), 0, 300, 0, 4},
        {0, false, microseconds(0), microseconds(5000), 2 * local, 150, 0, local + 1},
        {0, true, microseconds(20000), microseconds(0), 64, 1, std::min(2 * local + 1, 48), 0},
    };
    for (const Row& row : rows) {
        TempDir tmp;
        int count = 0;
        for (int d = 0; d < std::max(row.dirs, 1); ++d) {
            for (int f = 0; f < row.files; ++f, ++count) {
                // Appended piece by piece: GCC 12 at -O3 sees an overlap
                // (-Wrestrict) in a literal plus a temporary string.
                std::string path = "a/";
                if (row.dirs > 0) {
                    path.append("s").append(std::to_string(d)).append("/");
                }
                tmp.File(path.append("f").append(std::to_string(f)), 3);
            }
        }
        tmp.File("b/f", 1);
        auto calls = std::make_shared<SlowCalls>(row.open, row.stat, row.network);
        EXPECT_EQ(Measure(tmp.path(), {row.threads, calls}),
                  "a\t" + std::to_string(3 * count) + "\nb\t1\n");
        EXPECT_GE(calls->most_opens.load(), row.most_opens)
            << row.threads << " threads, network " << row.network;
        EXPECT_GE(calls->most_stats.load(), row.most_stats)
            << row.threads << " threads, network " << row.network;
    }
}

// Holds the read of a directory named "hung" until released (or ten seconds
// have passed), as a dead network mount holds a reader in the kernel.
class HungRead : public posix::walk::DirectoryCalls {
  public:
    int OpenDirectory(int parent, const char* name) override {
        const int fd = DirectoryCalls::OpenDirectory(parent, name);
        if (std::string_view(name) == "hung") {
            hung_fd_ = fd;
        }
        return fd;
    }
    long ReadEntries(int fd, void* buffer, std::size_t size) override {
        if (fd == hung_fd_) {
            std::unique_lock lock(mu_);
            held_ = true;
            cv_.notify_all();
            cv_.wait_for(lock, std::chrono::seconds(10), [&] { return released_; });
        }
        return DirectoryCalls::ReadEntries(fd, buffer, size);
    }
    void WaitUntilHeld() {
        std::unique_lock lock(mu_);
        cv_.wait_for(lock, std::chrono::seconds(10), [&] { return held_; });
    }
    void Release() {
        std::lock_guard lock(mu_);
        released_ = true;
        cv_.notify_all();
    }

  private:
    std::atomic<int> hung_fd_{-1};
    std::mutex mu_;
    std::condition_variable cv_;
    bool held_ = false, released_ = false;
};

// A stop while a worker hangs in a read: Size() says so at once, and the
// listing goes without waiting for the worker, which finds what it uses
// still there when it wakes (AddressSanitizer would see it otherwise).
TEST(Engine, AStopWhileAReadHangs) {
    TempDir tmp;
    tmp.File("a/hung/f", 1);
    tmp.File("b/f", 1);
    static StopFlag stop;  // may be read by the worker after the test
    stop = 0;
    auto calls = std::make_shared<HungRead>();
    const std::weak_ptr<HungRead> in_use = calls;
    {
        posix::FolderService folders({2, calls, &stop});
        auto listing = testing::List(folders, tmp.path(), {});
        ASSERT_TRUE(listing.ok());
        std::thread stopper([&] {
            calls->WaitUntilHeld();
            stop = SIGTERM;
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(listing.value()->Size(0).error().number, errnum::kInterrupted);
        listing.value().reset();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 5000);
        stopper.join();
    }
    calls->Release();
    calls.reset();
    for (int i = 0; i < 1000 && !in_use.expired(); ++i) {
        usleep(10000);  // until the worker has let go of everything
    }
    EXPECT_TRUE(in_use.expired());
}

}  // namespace
}  // namespace sizewalk
