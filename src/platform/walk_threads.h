// How many threads walk a directory's trees: what SIZEWALK_THREADS asks for,
// the defaults, and more while a walk waits on its disk instead of
// computing; the same on every platform.
#pragma once

#include <chrono>
#include <cstdint>

namespace sizewalk {

inline constexpr unsigned kMaxWalkThreads = 256;

// On a network share every request is a round trip, and the walk goes as
// fast as the requests it keeps in flight, whatever the cores.
inline constexpr unsigned kNetworkWalkThreads = 64;

// On a local disk: twice the cores, 4 to 32. On a warm cache two per core
// walk as fast as one; on a cold cache the extra ones keep the disk busy.
unsigned LocalWalkThreads();

// The thread count that `text` (an environment value, possibly null) asks
// for: a decimal number from 1 to kMaxWalkThreads, otherwise 0 (none).
unsigned ParseWalkThreads(const char* text);

// Growing the workers of a walk whose requests take long although its file
// system looks local (a cold disk, an iSCSI or cloud volume, an image file
// on a share): sampled every kGrowthInterval, the workers double while all
// of them are busy and their threads mostly wait in the kernel, up to
// kNetworkWalkThreads, and stop for good once a doubling did not raise the
// files counted per second. A warm local walk keeps its CPU busy, or waits
// its turn for it on a loaded machine, and never grows.
inline constexpr auto kGrowthInterval = std::chrono::milliseconds(250);
// A walk waits on its requests, not computing, while it uses less than this
// share of the CPU its workers could use (cores, or fewer workers)...
inline constexpr double kWaitingCpuShare = 0.25;
// ... and its threads ran or were ready to run, waiting for a CPU that
// others had, for less than this share of its workers' time (a warm walk on
// a loaded machine uses little CPU but always wants it).
inline constexpr double kWaitingRunShare = 0.5;
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
