#include "platform/win32/walk/walk_queue.h"

#include <algorithm>
#include <utility>

#include "platform/win32/long_path.h"
#include "platform/win32/reparse.h"

namespace sizewalk::win32::walk {

bool MetBefore(const WalkOrder& a, const WalkOrder& b) {
    const auto [in_a, in_b] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (in_a == a.end() || in_b == b.end()) {
        return in_a == a.end() && in_b != b.end();  // a directory before its subdirectories
    }
    return *in_a > *in_b;
}

WalkQueue::WalkQueue(std::wstring dir, std::vector<std::wstring> names,
                     std::shared_ptr<DirectoryReader> reader)
    : dir_(std::move(dir)),
      names_(std::move(names)),
      reader_(std::move(reader)),
      trees_(names_.size()) {}

void WalkQueue::WorkerLoop() {
    std::unique_lock lock(mu_);
    try {
        while (std::optional<Job> job = Take(lock, kAnyTree)) {
            Read(std::move(*job), lock);
        }
    } catch (...) {
        if (!lock.owns_lock()) {
            lock.lock();
        }
        Abort(std::current_exception());
    }
    --running_;
    done_cv_.notify_all();
}

void WalkQueue::WalkTree(std::size_t index, const std::function<void()>& tick) {
    std::unique_lock lock(mu_);
    while (std::optional<Job> job = Take(lock, index)) {
        Read(std::move(*job), lock);
        if (!trees_[index].done) {
            lock.unlock();
            tick();
            lock.lock();
        }
    }
}

std::optional<WalkQueue::Job> WalkQueue::Take(std::unique_lock<std::mutex>& lock,
                                              std::size_t only) {
    for (;;) {
        if (cancelled_) {
            return std::nullopt;
        }
        for (const std::size_t index : active_) {
            std::vector<Pending>& stack = trees_[index].stack;
            if ((only == kAnyTree || only == index) && !stack.empty()) {
                Job job{index, std::move(stack.back())};
                stack.pop_back();
                return job;
            }
        }
        if (only != kAnyTree) {
            if (trees_[only].started) {
                return std::nullopt;  // nobody else reads it: it is done
            }
            Start(only);
        } else if (next_tree_ < trees_.size()) {
            Start(next_tree_);
        } else if (trees_done_ == trees_.size()) {
            return std::nullopt;
        } else {
            ++idle_;
            work_cv_.wait(lock);
            --idle_;
        }
    }
}

void WalkQueue::Start(std::size_t index) {
    Tree& tree = trees_[index];
    tree.started = true;
    tree.stack.push_back(Pending{JoinPath(dir_, names_[index]), {}});
    tree.outstanding = 1;
    active_.insert(std::lower_bound(active_.begin(), active_.end(), index), index);
    while (next_tree_ < trees_.size() && trees_[next_tree_].started) {
        ++next_tree_;
    }
}

// Reads the directory of `job` without holding the lock, then adds what it
// found to its tree.
void WalkQueue::Read(Job job, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    ByteCount total = 0;
    std::uint64_t files = 0;
    std::vector<Pending> subdirs;
    DWORD error = reader_->Read(job.dir.path, [&](const WIN32_FIND_DATAW& entry) {
        if (IsLink(entry)) {
            return;
        }
        if (IsDirectory(entry)) {
            WalkOrder order = job.dir.order;
            order.push_back(static_cast<std::uint32_t>(subdirs.size()));
            subdirs.push_back(Pending{JoinPath(job.dir.path, entry.cFileName), std::move(order)});
            return;
        }
        ++files;
        total += (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    });
    // A directory that vanished meanwhile no longer counts; but the tree's
    // first one was listed, and must be there.
    if (error == ERROR_PATH_NOT_FOUND && !job.dir.order.empty()) {
        error = ERROR_SUCCESS;
    }
    lock.lock();
    Tree& tree = trees_[job.tree];
    files_seen_ += files;
    // Once a directory fails, those the walk by one thread would have met
    // after it can no longer change the result: they are left out.
    const auto after_failure = [&tree](const Pending& dir) {
        return tree.failure && MetBefore(tree.failure->order, dir.order);
    };
    if (error != ERROR_SUCCESS) {
        if (!tree.failure || MetBefore(job.dir.order, tree.failure->order)) {
            tree.failure = TreeFailure{std::move(job.dir.order), error, std::move(job.dir.path)};
            tree.outstanding -= std::erase_if(tree.stack, after_failure);
        }
    } else {
        tree.total += total;
        std::size_t pushed = 0;
        for (Pending& subdir : subdirs) {
            if (!after_failure(subdir)) {
                tree.stack.push_back(std::move(subdir));
                ++pushed;
            }
        }
        tree.outstanding += pushed;
        for (std::size_t i = 0; i < std::min<std::size_t>(pushed, idle_); ++i) {
            work_cv_.notify_one();
        }
    }
    if (--tree.outstanding == 0) {
        Finished(job.tree);
    }
}

void WalkQueue::Finished(std::size_t index) {
    Tree& tree = trees_[index];
    tree.done = true;
    tree.stack = {};
    active_.erase(std::find(active_.begin(), active_.end(), index));
    ++trees_done_;
    done_cv_.notify_all();
    if (trees_done_ == trees_.size()) {
        work_cv_.notify_all();
    }
}

bool WalkQueue::WaitForTree(std::size_t index, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mu_);
    const bool done =
        done_cv_.wait_for(lock, timeout, [&] { return trees_[index].done || failure_; });
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    return done;
}

std::variant<ByteCount, TreeFailure> WalkQueue::Result(std::size_t index) {
    std::lock_guard lock(mu_);
    const Tree& tree = trees_[index];
    if (tree.failure) {
        return *tree.failure;
    }
    return tree.total;
}

ScanProgress WalkQueue::Progress() {
    std::lock_guard lock(mu_);
    return ScanProgress{trees_done_, files_seen_};
}

void WalkQueue::Abort(std::exception_ptr failure) {
    if (!failure_) {
        failure_ = std::move(failure);
    }
    cancelled_ = true;
    work_cv_.notify_all();
    done_cv_.notify_all();
}

void WalkQueue::Cancel() {
    std::lock_guard lock(mu_);
    cancelled_ = true;
    work_cv_.notify_all();
}

void WalkQueue::WorkerStarting(int count) {
    std::lock_guard lock(mu_);
    running_ += count;
}

bool WalkQueue::WaitForWorkers(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mu_);
    return done_cv_.wait_for(lock, timeout, [&] { return running_ == 0; });
}

}  // namespace sizewalk::win32::walk
