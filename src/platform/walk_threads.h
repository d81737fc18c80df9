// How many threads walk a directory's trees: what SIZEWALK_THREADS asks for
// and the defaults, the same on every platform.
#pragma once

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

}  // namespace sizewalk
