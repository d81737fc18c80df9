// How many worker threads walk the trees, on every system: what
// SIZEWALK_THREADS asks, else a default by the kind of file system, and more
// while the walk waits on its disk instead of computing.
#pragma once

#include <chrono>
#include <cstdint>

namespace sizewalk {

inline constexpr unsigned kMaxThreads = 256;
// On a network, cluster or FUSE file system every request is a round trip of
// 0.1 to 5 ms and the walk is bound by how many are in flight, not by the
// cores.
inline constexpr unsigned kNetworkThreads = 64;

// The thread count that `text` (an environment value, possibly null) asks
// for: a decimal number from 1 to kMaxThreads, otherwise 0 (the default).
unsigned ParseThreadCount(const char* text);

// The workers a walk starts with: `requested` when it is not 0, otherwise
// kNetworkThreads on a network file system and twice the cores, 4 to 32,
// on a local one. On a warm cache two per core walk as fast as one; on a
// cold cache the extra ones keep the disk busy (README, "Performance").
unsigned StartingThreadCount(unsigned requested, bool network, unsigned cores);

// Growing the workers of a walk whose requests take long although its file
// system looks local (a cold disk, an iSCSI or cloud volume, a bind mount of
// a share): sampled every kGrowthInterval, the workers double while all of
// them are busy and the process neither uses the CPU nor waits for one (its
// threads wait in the kernel), up to kNetworkThreads, and stop for good once
// a doubling did not raise the files counted per second. A warm local walk
// keeps its CPU busy, or waits its turn for it on a loaded machine, and
// never grows.
inline constexpr auto kGrowthInterval = std::chrono::milliseconds(250);
// A walk that runs or waits to run for less than this share of the CPU its
// workers could use is waiting on its requests, not computing.
inline constexpr double kWaitingCpuShare = 0.25;
// A doubling that raised the files per second by less than this factor did
// not pay.
inline constexpr double kWorthwhileSpeedup = 1.25;

// One interval of a walk.
struct WalkSample {
    double seconds = 0;         // of wall time
    double cpu_seconds = 0;     // of the process's CPU time (all its threads)
    double queued_seconds = 0;  // its threads were ready to run, but others ran
    std::uint64_t files = 0;    // counted
    bool all_busy = false;      // no worker waited for work
};

struct WorkerGrowth {
    unsigned workers = 0;
    bool judging = false;    // the last interval followed a doubling
    double rate_before = 0;  // files per second before that doubling
    bool stopped = false;    // a doubling did not pay: no more
    bool operator==(const WorkerGrowth&) const = default;
};

// The growth after `sample`, on a machine with `cores` cores.
WorkerGrowth NextGrowth(WorkerGrowth growth, const WalkSample& sample, unsigned cores);

}  // namespace sizewalk
