// How many descriptors the walk may hold. Each walker keeps the directories
// on its way down open, so that their subdirectories open relative to them:
// two of its own, and more while the walk's shared pool of spare frames
// lasts (see TaskStack); the rest of the program keeps a few of its own.
#pragma once

#include <atomic>
#include <cstddef>

namespace sizewalk::posix::walk {

// Left to the rest of the program (standard streams, the listed directory,
// the tracking file, ...).
inline constexpr std::size_t kReservedDescriptors = 32;
// The limit assumed when it cannot be read.
inline constexpr std::size_t kAssumedDescriptorLimit = 1024;
// Counted at most, however high the limit (RLIM_INFINITY among others).
inline constexpr std::size_t kMostUsableDescriptors = std::size_t{1} << 20;
// A walker keeps no more frames open than this, however many it may.
inline constexpr std::size_t kMostFramesPerWalker = 64;
// Frames a walker keeps open without taking from the pool.
inline constexpr std::size_t kOwnFrames = 2;
// Its own frames, and two open for a moment: a parent being reopened and a
// child, or a thief's copy of its victim's directory and what it opens there.
inline constexpr std::size_t kLeastPerWalker = kOwnFrames + 2;

// Descriptors the walk may use in all: the soft limit on open files less
// those reserved.
std::size_t UsableDescriptors();

// Walkers (the workers and the caller of Size()) for up to `wanted` workers:
// fewer under a very low limit, rather than failures.
std::size_t WalkerCount(std::size_t usable, unsigned wanted);

// The frames beyond their own that `walkers` walkers may keep open together.
std::size_t SpareFrames(std::size_t usable, std::size_t walkers);

// The spare frames of one walk, taken and given back by its walkers: a few
// deep walkers keep many directories open, many walkers a few each.
class FramePool {
  public:
    explicit FramePool(std::size_t spare) : spare_(spare) {}
    bool Take() {
        std::size_t left = spare_.load();
        while (left > 0) {
            if (spare_.compare_exchange_weak(left, left - 1)) {
                return true;
            }
        }
        return false;
    }
    void Give(std::size_t count) { spare_.fetch_add(count); }

  private:
    std::atomic<std::size_t> spare_;
};

}  // namespace sizewalk::posix::walk
