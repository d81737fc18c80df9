#include "platform/posix/walk/task_stack.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace sizewalk::walk {

void AppendComponent(std::string& path, std::string_view name) {
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
}

void TaskStack::Begin(std::size_t tree, TreeTally& tally, std::string base,
                      std::vector<FileId> ancestors) {
    std::lock_guard lock(mu_);
    tree_ = tree;
    tally_ = &tally;
    base_ = std::move(base);
    ancestors_ = ancestors.size();
    ids_ = std::move(ancestors);
}

std::size_t TaskStack::End() {
    std::lock_guard lock(mu_);
    steal_hint_.store(kNoTree);
    tally_ = nullptr;
    return std::exchange(tree_, kNoTree);
}

std::string TaskStack::TakeNext() {
    Frame& top = frames_.back();
    std::lock_guard lock(mu_);
    return top.lo < top.hi ? std::move(top.subdirs[--top.hi]) : std::string();
}

bool TaskStack::OnPath(FileId id) const {
    return std::find(ids_.begin(), ids_.end(), id) != ids_.end();
}

bool TaskStack::Push(Frame frame) {
    std::lock_guard lock(mu_);
    // The last subdirectory of the top frame is the owner's next step; below
    // the top, every one is worth taking.
    const bool stealable =
        frame.hi > 1 || (!frames_.empty() && frames_.back().lo < frames_.back().hi);
    ids_.push_back(frame.id);
    frames_.push_back(std::move(frame));
    if (++open_frames_ > budget_) {
        Evict();
    }
    if (stealable) {
        steal_hint_.store(tree_);
    }
    return stealable;
}

// Closes the shallowest open frame but the top one. Called with mu_ held.
void TaskStack::Evict() {
    for (std::size_t i = lowest_maybe_open_; i + 1 < frames_.size(); ++i) {
        Frame& frame = frames_[i];
        if (frame.fd) {
            frame.fd.Reset();
            if (frame.lo < frame.hi) {
                frame.evicted = true;
                ++evicted_with_work_;
            }
            --open_frames_;
            lowest_maybe_open_ = i + 1;
            return;
        }
    }
}

int TaskStack::Pop() {
    Frame done;
    {
        std::lock_guard lock(mu_);
        done = std::move(frames_.back());
        frames_.pop_back();
        ids_.pop_back();
        lowest_maybe_open_ = std::min(lowest_maybe_open_, frames_.size());
    }
    if (done.fd) {
        --open_frames_;
    }
    if (!frames_.empty() && !frames_.back().fd && evicted_with_work_ > 0) {
        return Reopen(done.fd);
    }
    return 0;
}

// Reopens the (evicted or closed) top frame through ".." of its child, open
// on `child`, to climb back to an evicted frame with work left.
int TaskStack::Reopen(const Descriptor& child) {
    Frame& parent = frames_.back();
    if (!child) {
        return EBADF;  // no child to climb from: cannot happen, see Pop
    }
    Descriptor fd(openat(child.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        return errno;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || FileId{st.st_dev, st.st_ino} != parent.id) {
        return EAGAIN;  // moved while we were below it: what is left is not where it was
    }
    std::lock_guard lock(mu_);
    parent.fd = std::move(fd);
    if (parent.evicted) {
        parent.evicted = false;
        --evicted_with_work_;
    }
    ++open_frames_;
    lowest_maybe_open_ = std::min(lowest_maybe_open_, frames_.size() - 1);
    return 0;
}

void TaskStack::Unwind() {
    std::lock_guard lock(mu_);
    frames_.clear();
    ids_.clear();
    open_frames_ = 0;
    evicted_with_work_ = 0;
    lowest_maybe_open_ = 0;
}

std::optional<LentTask> TaskStack::Lend(DirectoryCalls& calls) {
    std::lock_guard lock(mu_);
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        Frame& frame = frames_[i];
        const std::size_t keep = i + 1 == frames_.size() ? 1 : 0;  // the owner's next
        if (!frame.fd || frame.lo + keep >= frame.hi) {
            continue;
        }
        LentTask task;
        task.tree = tree_;
        task.tally = tally_;
        task.path = PathOf(i + 1, {frame.subdirs[frame.lo]});
        task.parent_device = frame.id.device;
        task.ancestors.assign(ids_.begin(),
                              ids_.begin() + static_cast<std::ptrdiff_t>(ancestors_ + i + 1));
        const std::string name = std::move(frame.subdirs[frame.lo++]);
        task.fd.Reset(calls.OpenDirectory(frame.fd.get(), name.c_str()));
        task.error = task.fd ? 0 : errno;
        tally_->outstanding.fetch_add(1);  // while the owner's task keeps it above 0
        return task;
    }
    steal_hint_.store(kNoTree);
    return std::nullopt;
}

std::string TaskStack::PathOf(std::size_t frames,
                              std::initializer_list<std::string_view> leaves) const {
    std::string path = base_;
    for (std::size_t i = 1; i < frames; ++i) {
        AppendComponent(path, frames_[i].name);
    }
    for (std::string_view leaf : leaves) {
        if (!leaf.empty()) {
            AppendComponent(path, leaf);
        }
    }
    return path;
}

}  // namespace sizewalk::walk
