// The directories of one listing's trees still to read, shared by the
// threads that read them, and what each tree has come to.
//
// Each immediate subdirectory is a tree; its directories wait on a stack of
// their own, and a thread takes the most recently found directory of the
// first tree (in the listing's order) that has one, starting the next tree
// only when none has. So the trees are measured in order, a few at a time,
// and the directories waiting are about those of a depth-first walk per
// thread, whatever the size of the trees.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/folder_service.h"
#include "platform/win32/walk/directory_reader.h"

namespace sizewalk::win32::walk {

// Where a directory comes in a walk of its tree by one thread with a stack
// (the last subdirectory listed walked first): its subdirectory's index at
// each level below the tree's first directory.
using WalkOrder = std::vector<std::uint32_t>;

// Whether such a walk meets `a` before `b`.
bool MetBefore(const WalkOrder& a, const WalkOrder& b);

// Why a tree could not be measured: the directory that could not be read.
struct TreeFailure {
    WalkOrder order;
    DWORD error = ERROR_SUCCESS;
    std::wstring path;
};

class WalkQueue {
  public:
    // The trees below `dir` (a long path) named `names`.
    WalkQueue(std::wstring dir, std::vector<std::wstring> names,
              std::shared_ptr<DirectoryReader> reader);

    // A worker thread's life: reads directories of any tree until all are
    // measured or the walk is cancelled. An exception (out of memory)
    // aborts the walk.
    void WorkerLoop();
    // Measures tree `index` on this thread alone (no worker runs), calling
    // `tick` after each directory but the tree's last.
    void WalkTree(std::size_t index, const std::function<void()>& tick);

    // Waits up to `timeout` for tree `index`; whether it is measured.
    // Throws the exception that aborted the walk.
    bool WaitForTree(std::size_t index, std::chrono::milliseconds timeout);
    // The total of a measured tree, or the failure that the walk by one
    // thread would have met first: the same whatever thread got where first.
    std::variant<ByteCount, TreeFailure> Result(std::size_t index);
    ScanProgress Progress();

    // Stops the workers (the listing is going away).
    void Cancel();
    // Counts a worker thread in before it starts, out when it could not.
    void WorkerStarting(int count);
    // Waits up to `timeout` until no worker thread runs; whether none does.
    bool WaitForWorkers(std::chrono::milliseconds timeout);

  private:
    struct Pending {
        std::wstring path;
        WalkOrder order;
    };
    struct Tree {
        bool started = false;
        bool done = false;
        std::vector<Pending> stack;
        std::size_t outstanding = 0;  // directories on the stack or being read
        ByteCount total = 0;
        std::optional<TreeFailure> failure;
    };
    struct Job {
        std::size_t tree;
        Pending dir;
    };
    static constexpr std::size_t kAnyTree = static_cast<std::size_t>(-1);

    // The next directory to read, of tree `only` or of any; nothing when
    // there is none now (`only`) or none will come (any).
    std::optional<Job> Take(std::unique_lock<std::mutex>& lock, std::size_t only);
    void Start(std::size_t index);
    void Read(Job job, std::unique_lock<std::mutex>& lock);
    void Finished(std::size_t index);
    void Abort(std::exception_ptr failure);

    const std::wstring dir_;
    const std::vector<std::wstring> names_;
    const std::shared_ptr<DirectoryReader> reader_;
    std::mutex mu_;  // guards all below
    std::condition_variable work_cv_;
    std::condition_variable done_cv_;
    std::vector<Tree> trees_;
    std::vector<std::size_t> active_;  // started, not done, in order
    std::size_t next_tree_ = 0;        // none before it is still to start
    std::size_t trees_done_ = 0;
    std::uint64_t files_seen_ = 0;
    int idle_ = 0;     // workers waiting for work
    int running_ = 0;  // worker threads
    bool cancelled_ = false;
    std::exception_ptr failure_;
};

}  // namespace sizewalk::win32::walk
