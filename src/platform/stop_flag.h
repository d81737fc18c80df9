// A request from outside to end a run early.
#pragma once

#include <atomic>

namespace sizewalk {

// The number of the signal that asked the run to stop (SIGINT, SIGTERM,
// SIGHUP; on Windows the console event's equivalent), 0 while none did. Set
// from a signal handler or a console control handler; polled by the walk,
// the file service and the run.
using StopFlag = std::atomic<int>;
static_assert(StopFlag::is_always_lock_free, "written from a signal handler");

}  // namespace sizewalk
