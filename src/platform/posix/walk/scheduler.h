// Who walks what. Each worker runs the piece of work with the lowest tree
// index it can find, so that trees finish roughly in the order Size() asks
// for them: a subdirectory another walker has to spare (stealing from the
// shallowest frame of its stack), or the next tree nobody has started.
// Idle workers sleep on the state's doorbell.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "platform/posix/walk/walk_state.h"
#include "platform/posix/walk/walker.h"

namespace sizewalk::walk {

class Scheduler {
  public:
    // `walkers` walkers, each keeping at most `budget` frames open; the last
    // one is the caller of Size()'s.
    Scheduler(WalkTarget target, std::size_t walkers, std::size_t budget);

    WalkState& state() { return state_; }
    Walker& caller() { return *walkers_.back(); }

    // Whether tree `index` was still unclaimed; it is claimed now.
    bool Claim(std::size_t index) { return !state_.trees[index].claimed.exchange(true); }
    // The life of worker `worker`: until all trees are done or the walk
    // stops. An exception aborts the walk instead of ending the process.
    void WorkerLoop(std::size_t worker);

  private:
    std::size_t NextUnclaimed();
    Walker* Victim(const Walker& self, std::size_t& best) const;
    bool HasWork(const Walker& self);
    bool TryWork(Walker& self);

    WalkState state_;
    std::vector<std::unique_ptr<Walker>> walkers_;
    std::atomic<std::size_t> next_tree_{0};
};

}  // namespace sizewalk::walk
