#include "platform/posix/walk/parallel_listing.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "platform/posix/errors.h"

namespace sizewalk::walk {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
constexpr auto kReportInterval = std::chrono::milliseconds(100);
// Descriptors left to the rest of the program (standard streams, the listed
// directory, the tracking file, ...).
constexpr rlim_t kReservedDescriptors = 32;
constexpr std::size_t kMaxHeldPerThread = 64;
constexpr std::size_t kLeastPerParticipant = 4;  // two held frames and two for a moment

struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
        return std::hash<ino_t>()(id.inode) * 31 + std::hash<dev_t>()(id.device);
    }
};

// One directory on a walker's stack: the subdirectories still to walk.
struct Frame {
    std::string name;  // its own name; empty for the first frame of a task
    int fd = -1;       // closed once evicted (see Participant)
    bool evicted = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<std::string> subdirs;
    std::size_t lo = 0;  // [lo, hi) are still to walk: thieves take from lo,
    std::size_t hi = 0;  // the owner from hi
};

// One immediate subdirectory and what is known of its tree.
struct Root {
    std::atomic<bool> claimed{false};
    std::atomic<int> outstanding{0};  // tasks still walking parts of the tree
    std::mutex mu;                    // guards total, linked and failure
    ByteCount total = 0;
    std::unordered_set<FileId, FileIdHash> linked;
    // The failure with the smallest path, so that the report does not depend
    // on which thread got where first.
    std::optional<std::pair<std::string, int>> failure;
    bool done = false;  // guarded by ParallelListing::done_mu_
};

// A thread that walks: a worker, or the caller of Size(). It walks one task
// (a directory and its whole tree) at a time, depth first, on its own stack;
// other participants steal subdirectories from the shallowest frames.
//
// Descriptors: each frame keeps its directory open so that its subdirectories
// can be opened relative to it, but at most `budget` of them; beyond that the
// shallowest open frame is closed ("evicted") and later reopened through ".."
// of its child, checked by device and inode. A tree thousands of levels deep
// thus needs a bounded number of descriptors.
struct Participant {
    std::mutex mu;  // guards stack (its shape, fds, lo/hi), root and base
    std::vector<Frame> stack;
    std::size_t root = kNone;
    std::string base;                            // path of stack[0]
    std::atomic<std::size_t> steal_hint{kNone};  // root index when frames may have work
    std::unique_ptr<char[]> buffer{new char[kEntryBufferSize]};
    // Owner only:
    std::size_t open_frames = 0;
    std::size_t evicted_with_work = 0;
    std::size_t lowest_maybe_open = 0;
    const ProgressCallback* progress = nullptr;  // set for the caller of Size()
    Clock::time_point next_report{};
};

std::string JoinPath(const std::string& dir, std::string_view name) {
    std::string path = dir;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

// Descriptors the walk may use in all, beyond those the program keeps.
std::size_t UsableDescriptors() {
    rlimit limit{};
    rlim_t soft = 1024;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        soft = limit.rlim_cur;
    }
    const rlim_t usable = soft > kReservedDescriptors ? soft - kReservedDescriptors : 0;
    return static_cast<std::size_t>(std::min<rlim_t>(usable, 1 << 20));
}

// Frames each participant may keep open. Two more per participant are open
// for a moment: the directory being read and a parent being reopened.
std::size_t DescriptorBudget(std::size_t usable, std::size_t participants) {
    const std::size_t per = usable / participants;
    return std::clamp<std::size_t>(per > 2 ? per - 2 : 0, 2, kMaxHeldPerThread);
}

class ParallelListing final : public FolderListing {
  public:
    ParallelListing(int dir_fd, std::string path, dev_t device, std::vector<std::string> names,
                    ProgressCallback progress, const WalkOptions& options)
        : dir_fd_(dir_fd),
          path_(std::move(path)),
          device_(device),
          names_(std::move(names)),
          progress_(std::move(progress)),
          calls_(options.calls ? options.calls : std::make_shared<DirectoryCalls>()),
          stop_(options.stop),
          roots_(names_.size()) {
        // Under a very low descriptor limit, fewer threads rather than failures.
        const std::size_t usable = UsableDescriptors();
        const unsigned threads = static_cast<unsigned>(
            std::clamp<std::size_t>(usable / kLeastPerParticipant, 2, kMaxThreads + 1) - 1);
        const unsigned wanted = options.threads == 0 ? DefaultThreadCount() : options.threads;
        for (unsigned i = 0; i <= std::min(wanted, threads); ++i) {
            participants_.push_back(std::make_unique<Participant>());
        }
        budget_ = DescriptorBudget(usable, participants_.size());
        caller_ = participants_.back().get();
        caller_->progress = progress_ ? &progress_ : nullptr;
        // The signals that stop a run go to the thread that waits for the
        // tracking file, so that its wait ends; the workers only poll.
        sigset_t stop_signals;
        sigset_t old_mask;
        sigemptyset(&stop_signals);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&stop_signals, signal);
        }
        pthread_sigmask(SIG_BLOCK, &stop_signals, &old_mask);
        for (std::size_t i = 0; i + 1 < participants_.size() && !names_.empty(); ++i) {
            try {
                workers_.emplace_back([this, i] { WorkerLoop(*participants_[i]); });
            } catch (const std::system_error&) {
                break;  // fewer threads; Size() walks what nobody has started
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    }

    ~ParallelListing() override {
        cancel_ = true;
        WakeIdle(true);
        for (std::thread& worker : workers_) {
            worker.join();
        }
        close(dir_fd_);
    }

    ParallelListing(const ParallelListing&) = delete;
    ParallelListing& operator=(const ParallelListing&) = delete;

    const std::vector<std::string>& SubFolders() const override { return names_; }

    Outcome<ByteCount> Size(std::size_t index) override {
        if (index >= names_.size()) {
            return MakeError(errnum::kInvalidArgument);
        }
        if (stop_ != nullptr && stop_->load() != 0) {
            return Interrupted(stop_->load());
        }
        Root& root = roots_[index];
        if (Claim(index)) {
            RunRoot(*caller_, index);
        }
        {
            std::unique_lock lock(done_mu_);
            while (!root.done) {
                if (!progress_) {
                    done_cv_.wait(lock, [&] { return root.done; });
                } else if (!done_cv_.wait_for(lock, kReportInterval, [&] { return root.done; })) {
                    lock.unlock();
                    Report();
                    lock.lock();
                }
            }
        }
        Report();
        if (stop_ != nullptr && stop_->load() != 0) {
            return Interrupted(stop_->load());  // the total is only part of the tree
        }
        std::lock_guard lock(root.mu);
        if (root.failure) {
            return ErrorFromErrno(root.failure->second, root.failure->first);
        }
        return root.total;
    }

  private:
    void Report() {
        if (progress_) {
            progress_(ScanProgress{roots_done_.load(), files_seen_.load()});
        }
    }

    // Cancelled by the destructor, or the run asked to stop.
    bool Stopping() const {
        return cancel_.load(std::memory_order_relaxed) ||
               (stop_ != nullptr && stop_->load(std::memory_order_relaxed) != 0);
    }

    bool Claim(std::size_t index) { return !roots_[index].claimed.exchange(true); }

    bool AllDone() const { return roots_done_.load() == names_.size(); }

    // The first root nobody has claimed yet, or kNone.
    std::size_t NextUnclaimed() {
        std::size_t next = next_root_.load();
        while (next < names_.size() && roots_[next].claimed.load()) {
            ++next;
        }
        next_root_.store(next);
        return next < names_.size() ? next : kNone;
    }

    void WorkerLoop(Participant& self) {
        while (!Stopping()) {
            if (TryWork(self)) {
                continue;
            }
            if (AllDone()) {
                return;
            }
            // Sleep until a participant publishes work; read the epoch before
            // announcing, so that a publication after the check wakes us.
            const std::uint64_t seen = epoch_.load();
            idle_.fetch_add(1);
            if (!HasWork(self)) {
                std::unique_lock lock(idle_mu_);
                idle_cv_.wait_for(lock, std::chrono::milliseconds(50),
                                  [&] { return epoch_.load() != seen || Stopping() || AllDone(); });
            }
            idle_.fetch_sub(1);
        }
    }

    void WakeIdle(bool all) {
        {
            std::lock_guard lock(idle_mu_);
            epoch_.fetch_add(1);
        }
        if (all) {
            idle_cv_.notify_all();
        } else {
            idle_cv_.notify_one();
        }
    }

    Participant* Victim(const Participant& self, std::size_t& best) const {
        Participant* victim = nullptr;
        for (const auto& other : participants_) {
            const std::size_t hint = other->steal_hint.load();
            if (other.get() != &self && hint < best) {
                best = hint;
                victim = other.get();
            }
        }
        return victim;
    }

    bool HasWork(const Participant& self) {
        std::size_t best = kNone;
        return NextUnclaimed() != kNone || Victim(self, best) != nullptr;
    }

    // Runs the piece of work with the lowest root index, so that trees finish
    // roughly in the order Size() asks for them. False when there was none.
    bool TryWork(Participant& self) {
        const std::size_t next = NextUnclaimed();
        std::size_t best = next;
        Participant* victim = Victim(self, best);
        if (victim == nullptr) {
            if (next == kNone) {
                return false;
            }
            if (Claim(next)) {
                RunRoot(self, next);
            }
            return true;
        }
        Steal(self, *victim);
        return true;
    }

    void RunRoot(Participant& self, std::size_t index) {
        roots_[index].outstanding.store(1);
        {
            std::lock_guard lock(self.mu);
            self.root = index;
            self.base = JoinPath(path_, names_[index]);
        }
        const int fd = calls_->OpenDirectory(dir_fd_, names_[index].c_str());
        if (fd < 0) {
            const int error = errno;
            Fail(index, self.base, error);  // even when it vanished: it was listed
            Finish(self);
            return;
        }
        RunTask(self, fd, device_);
    }

    // Takes the shallowest subdirectory still to walk from `victim` and walks
    // its tree as a task of its own.
    void Steal(Participant& self, Participant& victim) {
        std::unique_lock lock(victim.mu);
        for (std::size_t i = 0; i < victim.stack.size(); ++i) {
            Frame& frame = victim.stack[i];
            const std::size_t keep = i + 1 == victim.stack.size() ? 1 : 0;  // the owner's next
            if (frame.fd < 0 || frame.lo + keep >= frame.hi) {
                continue;
            }
            const std::size_t root = victim.root;
            std::string name = std::move(frame.subdirs[frame.lo++]);
            const int fd = calls_->OpenDirectory(frame.fd, name.c_str());
            const int error = errno;
            std::string base = victim.base;
            for (std::size_t j = 1; j <= i; ++j) {
                base += '/';
                base += victim.stack[j].name;
            }
            base += '/';
            base += name;
            const dev_t parent_device = frame.device;
            roots_[root].outstanding.fetch_add(1);  // while the victim's task keeps it above 0
            lock.unlock();
            {
                std::lock_guard own(self.mu);
                self.root = root;
                self.base = std::move(base);
            }
            if (fd < 0) {
                if (error != ENOENT) {
                    Fail(root, self.base, error);
                }
                Finish(self);
                return;
            }
            RunTask(self, fd, parent_device);
            return;
        }
        victim.steal_hint.store(kNone);
    }

    void RunTask(Participant& self, int fd, dev_t parent_device) {
        Frame first;
        if (ReadDirectory(self, fd, parent_device, first)) {
            Push(self, std::move(first), fd);
        } else {
            close(fd);
        }
        Walk(self);
    }

    // Walks self's stack down to the last frame, then finishes the task.
    void Walk(Participant& self) {
        while (!self.stack.empty()) {
            if (Stopping()) {
                Unwind(self);
                break;
            }
            Frame& top = self.stack.back();
            std::string name;
            {
                std::lock_guard lock(self.mu);
                if (top.lo < top.hi) {
                    name = std::move(top.subdirs[--top.hi]);
                }
            }
            if (name.empty()) {
                Pop(self);
                continue;
            }
            const int fd = calls_->OpenDirectory(top.fd, name.c_str());
            if (fd < 0) {
                const int error = errno;
                if (error != ENOENT) {
                    Fail(self.root, PathOf(self, {name}), error);
                }
                continue;
            }
            Frame child;
            child.name = std::move(name);
            if (ReadDirectory(self, fd, top.device, child)) {
                Push(self, std::move(child), fd);
            } else {
                close(fd);
            }
            Tick(self);
        }
        Finish(self);
    }

    void Tick(Participant& self) {
        if (self.progress != nullptr) {
            const Clock::time_point now = Clock::now();
            if (now >= self.next_report) {
                self.next_report = now + kReportInterval;
                Report();
            }
        }
    }

    // Adds the files of the directory open on `fd` to the task's root and
    // collects its subdirectories into `frame`. False when there is nothing
    // to descend into: no subdirectories, a pseudo file system, a failure
    // (recorded) or cancellation.
    bool ReadDirectory(Participant& self, int fd, dev_t parent_device, Frame& frame) {
        struct stat self_stat {};
        if (fstat(fd, &self_stat) != 0) {
            const int error = errno;
            Fail(self.root, PathOf(self, {frame.name}), error);
            return false;
        }
        if (self_stat.st_dev != parent_device && OnPseudoFileSystem(fd)) {
            return false;
        }
        frame.device = self_stat.st_dev;
        frame.inode = self_stat.st_ino;
        Root& root = roots_[self.root];
        ByteCount total = 0;
        std::uint64_t files = 0;
        bool stopped = false;
        const int error =
            ForEachEntry(*calls_, fd, self.buffer.get(), [&](const char* name, unsigned char type) {
                if (type == DT_DIR) {
                    frame.subdirs.emplace_back(name);
                    return true;
                }
                if (type != DT_REG && type != DT_UNKNOWN) {
                    return true;  // links, devices, sockets, ...: nothing to count
                }
                struct stat st {};
                if (calls_->StatEntry(fd, name, &st) != 0) {
                    const int failure = errno;
                    if (failure == ENOENT) {
                        return true;  // removed meanwhile
                    }
                    Fail(self.root, PathOf(self, {frame.name, name}), failure);
                    stopped = true;
                    return false;
                }
                if (S_ISDIR(st.st_mode)) {
                    frame.subdirs.emplace_back(name);
                } else if (S_ISREG(st.st_mode)) {
                    ++files;
                    if (st.st_nlink <= 1 || FirstLink(root, FileId{st.st_dev, st.st_ino})) {
                        total += static_cast<std::uint64_t>(st.st_size);
                    }
                }
                if (Stopping()) {
                    stopped = true;
                    return false;
                }
                return true;
            });
        if (error != 0) {
            Fail(self.root, PathOf(self, {frame.name}), error);
            return false;
        }
        if (stopped) {
            return false;
        }
        {
            std::lock_guard lock(root.mu);
            root.total += total;
        }
        files_seen_.fetch_add(files, std::memory_order_relaxed);
        frame.hi = frame.subdirs.size();
        return frame.hi > 0;
    }

    static bool FirstLink(Root& root, FileId id) {
        std::lock_guard lock(root.mu);
        return root.linked.insert(id).second;
    }

    void Push(Participant& self, Frame frame, int fd) {
        frame.fd = fd;
        bool stealable = false;
        {
            std::lock_guard lock(self.mu);
            // The last subdirectory of the top frame is the owner's next step;
            // below the top, every one is worth stealing.
            stealable = frame.hi > 1 ||
                        (!self.stack.empty() && self.stack.back().lo < self.stack.back().hi);
            self.stack.push_back(std::move(frame));
            if (++self.open_frames > budget_) {
                Evict(self);
            }
            if (stealable) {
                self.steal_hint.store(self.root);
            }
        }
        if (stealable && idle_.load() > 0) {
            WakeIdle(false);
        }
    }

    // Closes the shallowest open frame but the top one. Called with self.mu held.
    void Evict(Participant& self) {
        for (std::size_t i = self.lowest_maybe_open; i + 1 < self.stack.size(); ++i) {
            Frame& frame = self.stack[i];
            if (frame.fd >= 0) {
                close(frame.fd);
                frame.fd = -1;
                if (frame.lo < frame.hi) {
                    frame.evicted = true;
                    ++self.evicted_with_work;
                }
                --self.open_frames;
                self.lowest_maybe_open = i + 1;
                return;
            }
        }
    }

    void Pop(Participant& self) {
        Frame done;
        {
            std::lock_guard lock(self.mu);
            done = std::move(self.stack.back());
            self.stack.pop_back();
            self.lowest_maybe_open = std::min(self.lowest_maybe_open, self.stack.size());
        }
        if (done.fd >= 0) {
            --self.open_frames;
        }
        if (!self.stack.empty() && self.stack.back().fd < 0 && self.evicted_with_work > 0) {
            Reopen(self, done.fd);
        }
        if (done.fd >= 0) {
            close(done.fd);
        }
    }

    // Reopens the (evicted or closed) top frame through ".." of its child,
    // open on `child_fd`, to climb back to an evicted frame with work left.
    void Reopen(Participant& self, int child_fd) {
        Frame& parent = self.stack.back();
        int fd = -1;
        int error = EBADF;  // no child to climb from: cannot happen, see Pop
        if (child_fd >= 0) {
            fd = openat(child_fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            error = fd < 0 ? errno : 0;
        }
        struct stat st {};
        if (fd >= 0 &&
            (fstat(fd, &st) != 0 || st.st_dev != parent.device || st.st_ino != parent.inode)) {
            // Moved while we were below it: what is left of it is not where it was.
            close(fd);
            fd = -1;
            error = EAGAIN;
        }
        if (fd < 0) {
            Fail(self.root, PathOf(self, {}), error);
            Unwind(self);
            return;
        }
        std::lock_guard lock(self.mu);
        parent.fd = fd;
        if (parent.evicted) {
            parent.evicted = false;
            --self.evicted_with_work;
        }
        ++self.open_frames;
        self.lowest_maybe_open = std::min(self.lowest_maybe_open, self.stack.size() - 1);
    }

    // Drops the rest of the task (cancelled or unreachable).
    void Unwind(Participant& self) {
        std::lock_guard lock(self.mu);
        for (Frame& frame : self.stack) {
            if (frame.fd >= 0) {
                close(frame.fd);
            }
        }
        self.stack.clear();
        self.open_frames = 0;
        self.evicted_with_work = 0;
        self.lowest_maybe_open = 0;
    }

    void Finish(Participant& self) {
        std::size_t index = kNone;
        {
            std::lock_guard lock(self.mu);
            std::swap(index, self.root);
            self.steal_hint.store(kNone);
        }
        Root& root = roots_[index];
        if (root.outstanding.fetch_sub(1) != 1) {
            return;
        }
        {
            std::lock_guard lock(root.mu);
            std::unordered_set<FileId, FileIdHash>().swap(root.linked);
        }
        {
            std::lock_guard lock(done_mu_);
            root.done = true;
            roots_done_.fetch_add(1);
        }
        done_cv_.notify_all();
        if (AllDone()) {
            WakeIdle(true);
        }
    }

    void Fail(std::size_t index, std::string path, int error) {
        Root& root = roots_[index];
        std::lock_guard lock(root.mu);
        if (!root.failure || path < root.failure->first) {
            root.failure.emplace(std::move(path), error);
        }
    }

    // The path of self's top frame followed by `leaves`, for error messages.
    static std::string PathOf(const Participant& self,
                              std::initializer_list<std::string_view> leaves) {
        std::string path = self.base;
        for (std::size_t i = 1; i < self.stack.size(); ++i) {
            path += '/';
            path += self.stack[i].name;
        }
        for (std::string_view leaf : leaves) {
            if (!leaf.empty()) {
                path += '/';
                path += leaf;
            }
        }
        return path;
    }

    const int dir_fd_;
    const std::string path_;
    const dev_t device_;
    const std::vector<std::string> names_;
    const ProgressCallback progress_;
    const std::shared_ptr<DirectoryCalls> calls_;
    const StopFlag* const stop_;
    std::vector<Root> roots_;
    std::vector<std::unique_ptr<Participant>> participants_;
    Participant* caller_ = nullptr;
    std::size_t budget_ = 2;
    std::vector<std::thread> workers_;

    std::atomic<bool> cancel_{false};
    std::atomic<std::size_t> next_root_{0};
    std::atomic<std::uint64_t> files_seen_{0};
    std::atomic<std::size_t> roots_done_{0};

    std::mutex done_mu_;  // guards Root::done
    std::condition_variable done_cv_;

    std::mutex idle_mu_;
    std::condition_variable idle_cv_;
    std::atomic<std::uint64_t> epoch_{0};  // changed whenever idle workers should look again
    std::atomic<int> idle_{0};
};

}  // namespace

unsigned DefaultThreadCount() {
    return std::clamp(2 * std::thread::hardware_concurrency(), 4u, 32u);
}

unsigned ParseThreadCount(const char* text) {
    if (text == nullptr || *text < '0' || *text > '9') {
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > kMaxThreads) {
        return 0;
    }
    return static_cast<unsigned>(value);
}

std::unique_ptr<FolderListing> MakeParallelListing(int dir_fd, std::string path, dev_t device,
                                                   std::vector<std::string> names,
                                                   ProgressCallback progress,
                                                   const WalkOptions& options) {
    return std::make_unique<ParallelListing>(dir_fd, std::move(path), device, std::move(names),
                                             std::move(progress), options);
}

}  // namespace sizewalk::walk
