#include "platform/posix/walk/descriptor_budget.h"

#include <sys/resource.h>

#include <algorithm>

#include "platform/walk_threads.h"

namespace sizewalk::posix::walk {

std::size_t UsableDescriptors() {
    rlimit limit{};
    rlim_t soft = kAssumedDescriptorLimit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        soft = limit.rlim_cur;
    }
    const rlim_t usable = soft > kReservedDescriptors ? soft - kReservedDescriptors : 0;
    return static_cast<std::size_t>(std::min<rlim_t>(usable, kMostUsableDescriptors));
}

std::size_t WalkerCount(std::size_t usable, unsigned wanted) {
    const std::size_t workers =
        std::clamp<std::size_t>(usable / kLeastPerWalker, 2, kMaxWalkThreads + 1) - 1;
    return std::min<std::size_t>(wanted, workers) + 1;
}

std::size_t SpareFrames(std::size_t usable, std::size_t walkers) {
    const std::size_t least = walkers * kLeastPerWalker;
    return usable > least ? usable - least : 0;
}

}  // namespace sizewalk::posix::walk
