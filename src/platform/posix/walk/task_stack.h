// The task a walker is on, one directory and its whole tree walked depth
// first, as a stack of frames; other walkers take subdirectories from its
// shallowest frames, and files to stat from the directory it is reading.
//
// Descriptors: each frame keeps its directory open so that its subdirectories
// can be opened relative to it, two frames of each walker and more while the
// walk's FramePool lasts; beyond that the shallowest open frame is closed
// ("evicted") and later reopened through ".." of its child, checked by device
// and inode. A tree thousands of levels deep thus needs a bounded number of
// descriptors, however many walkers there are.
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
#include "platform/posix/walk/descriptor_budget.h"
#include "platform/posix/walk/tree_tally.h"

namespace sizewalk::posix::walk {

// One directory on the stack: the subdirectories still to walk, and while it
// is read, the files of the last batch still to stat.
struct Frame {
    std::string name;  // its own name; empty for the first frame of a task
    Descriptor fd;     // closed once evicted
    bool evicted = false;
    FileId id;
    std::vector<std::string> subdirs;
    std::size_t lo = 0;  // [lo, hi) are still to walk: thieves take from lo,
    std::size_t hi = 0;  // the owner from hi
    std::vector<std::string> files;
    std::size_t next_file = 0;  // files before it are taken
};

// Work taken from another walker's stack: a subdirectory to walk as a task
// of its own, or files to stat. What it needs of the directory they lie in
// is copied under the owner's lock; the slow requests are made outside it.
struct LentTask {
    std::size_t tree = kNoTree;
    TreeTally* tally = nullptr;
    Descriptor parent;  // a duplicate of the directory they lie in
    std::string path;   // of the subdirectory, or of the directory of the files
    std::string name;   // the subdirectory; empty for files
    std::vector<std::string> files;
    dev_t parent_device = 0;
    std::vector<FileId> ancestors;  // of the subdirectory, the listed directory first
};

// `path` followed by "/" and `name`: the one way the walk builds its paths.
void AppendComponent(std::string& path, std::string_view name);

class TaskStack {
  public:
    explicit TaskStack(FramePool& pool) : pool_(pool) {}

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
    // Pushes `frame`, open, to be read; closes the shallowest open frame
    // when no more may stay open. True when the frame below has
    // subdirectories for others to take.
    bool Push(Frame frame);
    // Adds a batch of the top frame's entries: `subdirs` to walk, `files`
    // to stat (taken by TakeFiles or by others). True when some of them (or
    // of the frames below) are there for others to take.
    bool Publish(std::vector<std::string>& subdirs, std::vector<std::string>& files);
    // Moves up to `count` of the top frame's published files to `out`;
    // false when none is left, and the list is emptied for the next batch.
    bool TakeFiles(std::size_t count, std::vector<std::string>& out);
    // Pops the top frame and reopens the one below when it is needed again.
    // 0, or the errno of the failed reopen (the task cannot go on).
    int Pop();
    // Drops the rest of the task (cancelled or unreachable).
    void Unwind();

    // For other walkers: files of the directory being read, else the
    // shallowest subdirectory still to walk, taken, with the tree's
    // outstanding tasks counted up; nothing when no frame has any to spare.
    std::optional<LentTask> Lend(std::size_t files);
    // The tree whose frames may have work for others, or kNoTree.
    std::size_t steal_hint() const { return steal_hint_.load(); }

    // The path of the top frame followed by `leaves` (empty ones left out).
    std::string PathOf(std::initializer_list<std::string_view> leaves) const {
        return PathOf(frames_.size(), leaves);
    }

  private:
    std::string PathOf(std::size_t frames, std::initializer_list<std::string_view> leaves) const;
    void Opened();
    void Closed();
    void Evict();
    int Reopen(const Descriptor& child);

    FramePool& pool_;
    std::mutex mu_;  // guards the frames (their shape, fds, lists), tree_ and base_
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
    std::size_t open_frames_ = 0;  // beyond kOwnFrames each holds one of the pool's
    std::size_t evicted_with_work_ = 0;
    std::size_t lowest_maybe_open_ = 0;
};

}  // namespace sizewalk::posix::walk
