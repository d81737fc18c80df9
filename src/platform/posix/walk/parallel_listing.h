// Measuring the immediate subdirectories of one directory with several
// threads. Each subdirectory's tree is walked with openat relative to its
// parent, entries are read in large batches and only regular files (or
// entries of unknown type) are stat'ed; the subdirectories of one tree are
// shared among the threads, and trees further down the list are measured
// ahead while the caller waits for an earlier one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/folder_service.h"
#include "platform/posix/walk/directory_calls.h"
#include "platform/posix/walk/tree_tally.h"
#include "platform/stop_flag.h"
#include "platform/walk_threads.h"

namespace sizewalk::posix::walk {

struct WalkOptions {
    // Worker threads, fixed; 0 for the default, by the file system, growing
    // while the walk waits on its disk (LocalWalkThreads, NextGrowth).
    unsigned threads = 0;
    // The system calls: the real ones unless a test puts others here (the
    // folder service fills it in when empty).
    std::shared_ptr<DirectoryCalls> calls;
    // When set, stops the walk; Size() then fails with errnum::kInterrupted.
    // A worker held in the kernel may look at it after the listing is gone:
    // it must live as long as the process (the run's flag is a global).
    const StopFlag* stop = nullptr;
};

// Takes over `dir_fd`, the open directory `path` whose device and inode are
// `id` and whose immediate subdirectories are `names`, and starts measuring them.
//
// Size(i) may be called in any order but from one thread at a time; it
// returns once tree i is measured by the workers (or by the calling thread
// when no worker could be started), or at once when the stop flag is set,
// even while a worker hangs in a read. `progress`, when set, is called only
// on the thread inside Size(), about ten times a second while it waits and
// once before it returns; entries_done counts the trees measured so far, also
// those measured ahead. An exception on a worker (std::bad_alloc on a huge
// tree) stops the walk, and Size() throws it on the caller's thread, where the
// run takes it as a fatal failure like any of its own. Destroying the listing
// stops all outstanding work and joins the threads, but waits no longer than
// a second: a worker held in the kernel is left behind, holding all it uses.
std::unique_ptr<FolderListing> MakeParallelListing(int dir_fd, std::string path, FileId id,
                                                   std::vector<std::string> names,
                                                   ProgressCallback progress,
                                                   const WalkOptions& options);

}  // namespace sizewalk::posix::walk
