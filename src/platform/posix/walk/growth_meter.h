// What NextGrowth judges a walk by: every kGrowthInterval, the wall time
// that passed, the CPU time the process's threads used and waited for (the
// kernel's schedstat of each), the files counted and whether any worker
// slept.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/posix/walk/walk_state.h"
#include "platform/walk_threads.h"

namespace sizewalk::posix::walk {

class GrowthMeter {
  public:
    explicit GrowthMeter(const WalkState& state);
    // The interval since the last sample, once kGrowthInterval has passed.
    std::optional<WalkSample> Sample();

  private:
    struct Reading {
        std::chrono::steady_clock::time_point wall;
        double cpu_seconds = 0;
        double queued_seconds = 0;
        std::uint64_t files = 0;
        std::uint64_t naps = 0;
    };
    Reading Read() const;

    const WalkState& state_;
    Reading last_;
};

}  // namespace sizewalk::posix::walk
