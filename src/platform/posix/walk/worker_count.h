// How many worker threads walk: the default, and what SIZEWALK_THREADS asks.
#pragma once

namespace sizewalk::walk {

inline constexpr unsigned kMaxThreads = 256;

// Worker threads when nothing else is asked for: twice the cores, 4 to 32.
// On a warm cache two per core walk as fast as one; on a cold cache the
// extra ones keep the disk busy (README, "Performance").
unsigned DefaultThreadCount();

// The thread count that `text` (an environment value, possibly null) asks
// for: a decimal number from 1 to kMaxThreads, otherwise 0 (the default).
unsigned ParseThreadCount(const char* text);

}  // namespace sizewalk::walk
