#include "platform/posix/walk/task_stack.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <utility>

namespace sizewalk::posix::walk {

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
    // Below the top, every subdirectory is worth taking.
    const bool stealable = !frames_.empty() && frames_.back().lo < frames_.back().hi;
    ids_.push_back(frame.id);
    frames_.push_back(std::move(frame));
    Opened();
    if (stealable) {
        steal_hint_.store(tree_);
    }
    return stealable;
}

bool TaskStack::Publish(std::vector<std::string>& subdirs, std::vector<std::string>& files) {
    std::lock_guard lock(mu_);
    Frame& top = frames_.back();
    std::move(subdirs.begin(), subdirs.end(), std::back_inserter(top.subdirs));
    std::move(files.begin(), files.end(), std::back_inserter(top.files));
    subdirs.clear();
    files.clear();
    top.hi = top.subdirs.size();
    // The last subdirectory of the top frame is the owner's next step.
    const bool stealable = top.lo + 1 < top.hi || top.next_file < top.files.size();
    if (stealable) {
        steal_hint_.store(tree_);
    }
    return stealable;
}

bool TaskStack::TakeFiles(std::size_t count, std::vector<std::string>& out) {
    out.clear();
    std::lock_guard lock(mu_);
    Frame& top = frames_.back();
    const std::size_t end = std::min(top.files.size(), top.next_file + count);
    for (; top.next_file < end; ++top.next_file) {
        out.push_back(std::move(top.files[top.next_file]));
    }
    if (out.empty()) {
        top.files.clear();
        top.next_file = 0;
    }
    return !out.empty();
}

// A frame was opened (pushed or reopened): beyond its own frames the walker
// takes one from the pool, or closes another. Called with mu_ held.
void TaskStack::Opened() {
    ++open_frames_;
    if (open_frames_ > kOwnFrames && (open_frames_ > kMostFramesPerWalker || !pool_.Take())) {
        Evict();
    }
}

// An open frame was closed on its way off the stack.
void TaskStack::Closed() {
    if (open_frames_-- > kOwnFrames) {
        pool_.Give(1);
    }
}

// Closes the shallowest open frame but the top one; the frame just opened
// takes its place in the count. Called with mu_ held and more than
// kOwnFrames open, so there is one.
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
        Closed();  // closed at the end, after climbing through it
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
    lowest_maybe_open_ = std::min(lowest_maybe_open_, frames_.size() - 1);
    Opened();
    return 0;
}

void TaskStack::Unwind() {
    std::lock_guard lock(mu_);
    frames_.clear();
    ids_.clear();
    if (open_frames_ > kOwnFrames) {
        pool_.Give(open_frames_ - kOwnFrames);
    }
    open_frames_ = 0;
    evicted_with_work_ = 0;
    lowest_maybe_open_ = 0;
}

std::optional<LentTask> TaskStack::Lend(std::size_t files) {
    std::lock_guard lock(mu_);
    // The files of the directory being read first: its owner stats them one
    // by one. Else the shallowest subdirectory, the largest piece.
    const bool lend_files =
        !frames_.empty() && frames_.back().next_file < frames_.back().files.size();
    std::size_t from = lend_files ? frames_.size() - 1 : 0;
    for (; !lend_files && from < frames_.size(); ++from) {
        const Frame& frame = frames_[from];
        const std::size_t keep = from + 1 == frames_.size() ? 1 : 0;  // the owner's next
        if (frame.fd && frame.lo + keep < frame.hi) {
            break;
        }
    }
    if (from == frames_.size()) {
        steal_hint_.store(kNoTree);
        return std::nullopt;
    }
    Frame& frame = frames_[from];
    LentTask task;
    task.parent.Reset(fcntl(frame.fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!task.parent) {
        steal_hint_.store(kNoTree);  // out of descriptors: the owner goes on alone
        return std::nullopt;
    }
    task.tree = tree_;
    task.tally = tally_;
    if (lend_files) {
        task.path = PathOf(from + 1, {});
        const std::size_t end = std::min(frame.files.size(), frame.next_file + files);
        for (; frame.next_file < end; ++frame.next_file) {
            task.files.push_back(std::move(frame.files[frame.next_file]));
        }
    } else {
        task.path = PathOf(from + 1, {frame.subdirs[frame.lo]});
        task.name = std::move(frame.subdirs[frame.lo++]);
        task.parent_device = frame.id.device;
        task.ancestors.assign(ids_.begin(),
                              ids_.begin() + static_cast<std::ptrdiff_t>(ancestors_ + from + 1));
    }
    tally_->outstanding.fetch_add(1);  // while the owner's task keeps it above 0
    return task;
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

}  // namespace sizewalk::posix::walk
