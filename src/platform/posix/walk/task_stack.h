// The task a walker is on, one directory and its whole tree walked depth
// first, as a stack of frames; other walkers take subdirectories from its
// shallowest frames.
//
// Descriptors: each frame keeps its directory open so that its subdirectories
// can be opened relative to it, but at most `budget` of them; beyond that the
// shallowest open frame is closed ("evicted") and later reopened through ".."
// of its child, checked by device and inode. A tree thousands of levels deep
// thus needs a bounded number of descriptors.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/descriptor.h"
#include "platform/posix/walk/directory_calls.h"
#include "platform/posix/walk/tree_tally.h"

namespace sizewalk::walk {

// One directory on the stack: the subdirectories still to walk.
struct Frame {
    std::string name;  // its own name; empty for the first frame of a task
    Descriptor fd;     // closed once evicted
    bool evicted = false;
    FileId id;
    std::vector<std::string> subdirs;
    std::size_t lo = 0;  // [lo, hi) are still to walk: thieves take from lo,
    std::size_t hi = 0;  // the owner from hi
};

// A subdirectory taken from another walker's stack, opened relative to its
// parent there, to walk as a task of its own.
struct LentTask {
    std::size_t tree = kNoTree;
    TreeTally* tally = nullptr;
    std::string path;
    Descriptor fd;
    int error = 0;  // of the open, when fd is not open
    dev_t parent_device = 0;
    std::vector<FileId> ancestors;  // of the subdirectory, the listed directory first
};

// `path` followed by "/" and `name`: the one way the walk builds its paths.
void AppendComponent(std::string& path, std::string_view name);

class TaskStack {
  public:
    explicit TaskStack(std::size_t budget) : budget_(budget) {}

    // Starts a task in tree `tree` at `base`, its first directory's path,
    // whose ancestors are `ancestors`.
    void Begin(std::size_t tree, TreeTally& tally, std::string base, std::vector<FileId> ancestors);
    // Ends it: the tree it was in.
    std::size_t End();

    std::size_t tree() const { return tree_; }
    TreeTally& tally() const { return *tally_; }
    bool empty() const { return frames_.empty(); }
    Frame& top() { return frames_.back(); }

    // The owner's next subdirectory of the top frame, or "" when none is left.
    std::string TakeNext();
    // Whether the directory `id` is on the task's path: the first frame's
    // ancestors or a frame. Descending into it would go round for ever.
    bool OnPath(FileId id) const;
    // Pushes `frame` (open, with subdirectories to walk), closing the
    // shallowest open frame beyond the budget. True when some of its
    // subdirectories (or the one below's) are there for others to take.
    bool Push(Frame frame);
    // Pops the top frame and reopens the one below when it is needed again.
    // 0, or the errno of the failed reopen (the task cannot go on).
    int Pop();
    // Drops the rest of the task (cancelled or unreachable).
    void Unwind();

    // For other walkers: the shallowest subdirectory still to walk, taken and
    // opened, with the tree's outstanding tasks counted up; nothing when no
    // frame has one to spare.
    std::optional<LentTask> Lend(DirectoryCalls& calls);
    // The tree whose frames may have work for others, or kNoTree.
    std::size_t steal_hint() const { return steal_hint_.load(); }

    // The path of the top frame followed by `leaves` (empty ones left out).
    std::string PathOf(std::initializer_list<std::string_view> leaves) const {
        return PathOf(frames_.size(), leaves);
    }

  private:
    std::string PathOf(std::size_t frames, std::initializer_list<std::string_view> leaves) const;
    void Evict();
    int Reopen(const Descriptor& child);

    const std::size_t budget_;
    std::mutex mu_;  // guards the frames (their shape, fds, lo/hi), tree_ and base_
    std::vector<Frame> frames_;
    std::size_t tree_ = kNoTree;
    TreeTally* tally_ = nullptr;
    std::string base_;  // path of frames_[0]
    // The ids of the first frame's ancestors, then of each frame: pushed
    // before the frame, so that there are never fewer than frames.
    std::vector<FileId> ids_;
    std::size_t ancestors_ = 0;  // of ids_
    std::atomic<std::size_t> steal_hint_{kNoTree};
    // Owner only:
    std::size_t open_frames_ = 0;
    std::size_t evicted_with_work_ = 0;
    std::size_t lowest_maybe_open_ = 0;
};

}  // namespace sizewalk::walk
