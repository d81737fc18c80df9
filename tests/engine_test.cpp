// The parallel walk behind the POSIX folder service: its sums against
// scripts/make-tree's independent measurement, with any number of threads, and how it
// copes with unreadable parts, very deep trees, few descriptors, a tree that
// changes while it is walked, and a listing destroyed halfway.
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/posix/folder_service.h"
#include "temp_dir.h"

namespace sizewalk {
namespace {

namespace fs = std::filesystem;
using testing::Measure;
using testing::TempDir;

// What `body` returns when run in a child process after `prepare` (which
// changes the process for good: its user, its descriptor limit).
std::string InChild(const std::function<void()>& prepare,
                    const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) {
        return "pipe failed";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        prepare();
        const std::string text = body();
        const bool written =
            write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        _exit(written ? 0 : 1);
    }
    close(fds[1]);
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) {
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
    return text;
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST(Engine, EdgeTreeMatchesMakeTreeWithAnyThreadCount) {
    TempDir tmp;
    const std::string root = tmp.path() + "tree";
    const auto sizes = testing::MakeTree(SIZEWALK_MAKE_TREE, root,
                                         {"--edge", "--files", "6000", "--subdirs", "3"});
    ASSERT_FALSE(sizes.empty()) << "make-tree failed";
    std::string expected;
    for (const auto& [name, bytes] : sizes) {
        expected += name + "\t" + bytes + "\n";
    }
    for (unsigned threads : {1u, 2u, 8u, 1u, 2u, 8u}) {
        EXPECT_EQ(Measure(root, {threads, nullptr}), expected) << threads << " threads";
    }
}

TEST(Engine, UnreadablePartsFailTheirSubdirectoryNamingTheSmallestPath) {
    TempDir tmp;
    tmp.File("a/x/y/locked/file", 10);
    tmp.File("b/x/listable-only/file", 10);  // entries readable, files not
    tmp.File("c/x2/file", 1);
    tmp.File("c/x1/file", 1);
    tmp.File("c/open/file", 1);
    tmp.File("d/x/file", 42);
    for (const char* dir : {"a/x/y/locked", "c/x2", "c/x1"}) {
        fs::permissions(tmp.fs() / dir, fs::perms::none);
    }
    fs::permissions(tmp.fs() / "b/x/listable-only", fs::perms::owner_read | fs::perms::others_read);
    const std::string expected = "a\t70 Permission denied: " + tmp.path() + "a/x/y/locked\n" +
                                 "b\t70 Permission denied: " + tmp.path() +
                                 "b/x/listable-only/file\n" +
                                 "c\t70 Permission denied: " + tmp.path() + "c/x1\n" + "d\t42\n";
    const auto unprivileged = [] {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                               setresuid(65534, 65534, 65534) != 0)) {
            _exit(2);
        }
    };
    for (unsigned threads : {1u, 8u}) {
        EXPECT_EQ(InChild(unprivileged,
                          [&] {
                              return Measure(tmp.path(), {threads, nullptr});
                          }),
                  expected);
    }
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
// descriptor per level unless it closes and reopens them. Too deep for any path.
class DeepTree {
  public:
    explicit DeepTree(int levels) {
        std::string pattern =
            (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
            "sizewalk-deep-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp";
            return;
        }
        top_ = pattern;
        // Beside the chain "deep", a plain subdirectory "next".
        fs::create_directory(top_ + "/deep");
        fs::create_directory(top_ + "/next");
        int fd = open((top_ + "/next").c_str(), O_RDONLY | O_DIRECTORY);
        WriteAt(fd, "f", "sixsix");
        close(fd);
        fd = open((top_ + "/deep").c_str(), O_RDONLY | O_DIRECTORY);
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
    DeepTree(const DeepTree&) = delete;
    DeepTree& operator=(const DeepTree&) = delete;

    std::string path() const { return top_ + "/"; }

  private:
    std::string top_;
};

TEST(Engine, DeepTreeUnderALowDescriptorLimit) {
    constexpr int kLevels = 5000;
    const DeepTree deep(kLevels);
    const std::string expected = "deep\t" + std::to_string(3 * kLevels) + "\nnext\t6\n";
    for (unsigned threads : {1u, 8u}) {
        const std::string result = InChild(
            [] {
                const rlimit low{64, 64};
                setrlimit(RLIMIT_NOFILE, &low);
            },
            [&] {
                const std::size_t before = OpenDescriptors();
                std::string text = Measure(deep.path(), {threads, nullptr});
                if (OpenDescriptors() != before) {
                    text += "descriptors left open\n";
                }
                return text;
            });
        EXPECT_EQ(result, expected) << threads << " threads";
    }
}

// Removes a directory just before the walk opens it, removes a file just
// before it is stat'ed, fails reads and stats on demand, and holds the first
// directory opened from `stolen_at_end` back until `stolen` is opened (which
// only a thief does then, taking from the other end).
class ChangingTree : public walk::DirectoryCalls {
  public:
    std::string remove_dir;   // path of the directory named "vanishing"
    std::string remove_file;  // path of the file named "vanishing-file"
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
            fs::remove(remove_file);
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
    std::vector<std::string> order;  // as the walk reads them
    for (const auto& entry : fs::directory_iterator(tmp.fs() / "b/z")) {
        order.push_back(entry.path().filename());
    }
    tmp.File("b/z/" + order.front() + "/bad-file", 1);
    auto calls = std::make_shared<ChangingTree>();
    calls->remove_dir = tmp.path() + "a/s3/t3/vanishing";
    calls->remove_file = tmp.path() + "a/s4/vanishing-file";
    struct stat st {};
    ASSERT_EQ(stat((tmp.path() + "c/s6/t6/broken").c_str(), &st), 0);
    calls->unreadable_dir = st.st_ino;
    calls->failing_stat = "bad-file";
    calls->stolen = order.front();
    calls->held = order.back();
    for (unsigned threads : {2u, 8u}) {
        tmp.File("a/s3/t3/vanishing/deeper/f", 100);  // removed as the walk gets there
        tmp.File("a/s4/vanishing-file", 100);
        EXPECT_EQ(Measure(tmp.path(), {threads, calls}),
                  "a\t64\nb\t57 Device I/O error: " + tmp.path() + "b/z/" + order.front() +
                      "/bad-file\nc\t57 Device I/O error: " + tmp.path() + "c/s6/t6/broken\n");
    }
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
        PosixFolderService service({threads, nullptr});
        auto listing = service.GetFolder(tmp.path(), {});
        ASSERT_TRUE(listing.ok());
        EXPECT_EQ(listing.value()->Size(0).value(), 100u);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(Engine, ThreadCountFromTheEnvironment) {
    const std::vector<std::pair<const char*, unsigned>> table = {
        {nullptr, 0}, {"", 0},   {"4", 4},  {"1", 1},  {"256", 256}, {"257", 0},
        {"0", 0},     {"-1", 0}, {" 2", 0}, {"2x", 0}, {"+3", 0},    {"99999999999999999999", 0},
    };
    for (const auto& [text, threads] : table) {
        EXPECT_EQ(walk::ParseThreadCount(text), threads) << (text ? text : "null");
    }
}

}  // namespace
}  // namespace sizewalk
