// A thread that walks: a worker, or the caller of Size(). It walks one task
// (a directory and its whole tree) at a time, depth first, on its own
// TaskStack, or stats files lent by another walker; the scheduler decides
// which.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/walk/progress.h"
#include "platform/posix/walk/task_stack.h"
#include "platform/posix/walk/walk_state.h"

namespace sizewalk::posix::walk {

// Files a walker hands out to another at a time.
inline constexpr std::size_t kFilesPerLoan = 8;
// Stats slower than this on average are worth sharing: they wait on a disk
// or a network. A warm local one takes a few microseconds.
inline constexpr auto kSlowStat = std::chrono::microseconds(50);

class Walker {
  public:
    Walker(WalkState& state, FramePool& pool) : state_(state), stack_(pool) {}

    // Walks tree `index` of the listing from its top.
    void RunTree(std::size_t index);
    // Walks a subdirectory, or stats files, lent by another walker's stack.
    void RunLent(LentTask task);

    TaskStack& stack() { return stack_; }
    // Set while the caller of Size() walks: reports progress as it goes.
    void set_ticker(ProgressTicker* ticker) { ticker_ = ticker; }

  private:
    struct FileCount {
        ByteCount bytes = 0;
        std::uint64_t files = 0;
        std::size_t stats = 0;
    };

    void RunTask(Descriptor fd, dev_t parent_device);
    void Enter(Descriptor fd, std::string name, dev_t parent_device);
    void Walk();
    bool ReadTop();
    bool StatBatch(int fd, const char* buffer, long length, bool shared, FileCount& count);
    int CountFile(int dir, const char* name, TreeTally& tally, FileCount& count,
                  std::vector<std::string>* subdirs);
    void CountLentFiles(const LentTask& task);
    void Announce(bool all);
    void Finish();
    void TaskDone(std::size_t tree);
    char* buffer();

    WalkState& state_;
    TaskStack stack_;
    std::unique_ptr<char[]> buffer_;  // kEntryBufferSize, once the walker reads
    ProgressTicker* ticker_ = nullptr;
    // One batch's entries on their way to the stack, kept for their memory.
    std::vector<std::string> subdirs_, files_, loan_;
    bool slow_stats_ = false;  // the last batch's stats took long
};

}  // namespace sizewalk::posix::walk
