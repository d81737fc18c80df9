// A thread that walks: a worker, or the caller of Size(). It walks one task
// (a directory and its whole tree) at a time, depth first, on its own
// TaskStack; the scheduler decides which.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>

#include "platform/posix/walk/progress.h"
#include "platform/posix/walk/task_stack.h"
#include "platform/posix/walk/walk_state.h"

namespace sizewalk::walk {

class Walker {
  public:
    Walker(WalkState& state, std::size_t budget) : state_(state), stack_(budget) {}

    // Walks tree `index` of the listing from its top.
    void RunTree(std::size_t index);
    // Walks a subdirectory lent by another walker's stack.
    void RunLent(LentTask task);

    TaskStack& stack() { return stack_; }
    // Set while the caller of Size() walks: reports progress as it goes.
    void set_ticker(ProgressTicker* ticker) { ticker_ = ticker; }

  private:
    void RunTask(Descriptor fd, dev_t parent_device);
    void Walk();
    void Push(Frame frame);
    bool ReadDirectory(Frame& frame, dev_t parent_device);
    void Finish();

    WalkState& state_;
    TaskStack stack_;
    std::unique_ptr<char[]> buffer_{new char[kEntryBufferSize]};
    ProgressTicker* ticker_ = nullptr;
};

}  // namespace sizewalk::walk
