// How many descriptors the walk may hold. Each walker keeps the directories
// on its way down open, so that their subdirectories open relative to them,
// but only up to its budget (see TaskStack); the rest of the program keeps a
// few of its own.
#pragma once

#include <cstddef>

namespace sizewalk::walk {

// Left to the rest of the program (standard streams, the listed directory,
// the tracking file, ...).
inline constexpr std::size_t kReservedDescriptors = 32;
// The limit assumed when it cannot be read.
inline constexpr std::size_t kAssumedDescriptorLimit = 1024;
// Counted at most, however high the limit (RLIM_INFINITY among others).
inline constexpr std::size_t kMostUsableDescriptors = std::size_t{1} << 20;
// A walker keeps no more frames open than this, however many it may.
inline constexpr std::size_t kMostFramesPerWalker = 64;
// Two held frames, and two open for a moment: the directory being read and a
// parent being reopened.
inline constexpr std::size_t kLeastPerWalker = 4;

// Descriptors the walk may use in all: the soft limit on open files less
// those reserved.
std::size_t UsableDescriptors();

// Walkers (the workers and the caller of Size()) for `wanted` workers: fewer
// under a very low limit, rather than failures.
std::size_t WalkerCount(std::size_t usable, unsigned wanted);

// Frames each of `walkers` may keep open.
std::size_t FramesPerWalker(std::size_t usable, std::size_t walkers);

}  // namespace sizewalk::walk
