// Who walks what. Each worker runs the piece of work with the lowest tree
// index it can find, so that trees finish roughly in the order Size() asks
// for them: files or a subdirectory another walker has to spare (stealing
// from the directory it reads or the shallowest frame of its stack), or the
// next tree nobody has started. Thieves look at the others starting after
// themselves, so that they spread over the walkers of one tree. Idle workers
// sleep on the state's doorbell.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "platform/posix/walk/walk_state.h"
#include "platform/posix/walk/walker.h"

namespace sizewalk::posix::walk {

class Scheduler {
  public:
    // `walkers` walkers, sharing `spare_frames` open frames beyond their
    // own; the last one is the caller of Size()'s.
    Scheduler(WalkTarget target, std::size_t walkers, std::size_t spare_frames);

    WalkState& state() { return state_; }
    std::size_t walkers() const { return walkers_.size(); }
    Walker& caller() { return *walkers_.back(); }

    // Whether tree `index` was still unclaimed; it is claimed now.
    bool Claim(std::size_t index) { return !state_.trees[index].claimed.exchange(true); }
    // The life of worker `worker`: until all trees are done or the walk
    // stops. An exception aborts the walk instead of ending the process.
    void WorkerLoop(std::size_t worker);

  private:
    std::size_t NextUnclaimed();
    Walker* Victim(std::size_t self, std::size_t& best) const;
    bool HasWork(std::size_t self);
    bool TryWork(std::size_t self);

    WalkState state_;
    FramePool pool_;
    std::vector<std::unique_ptr<Walker>> walkers_;
    std::atomic<std::size_t> next_tree_{0};
};

}  // namespace sizewalk::posix::walk
