// Keeping the windows of a busy thread alive: what waits in the thread's
// message queue is handled (painting, timers, and what tells Windows that
// the windows are not hung), except the user's input, which is thrown away:
// a busy window takes no clicks or keys, not even later.
#pragma once

#include <chrono>

namespace sizewalk::win32 {

// Handles the messages waiting now. A request to quit stays pending.
void DispatchAllButInput();

// Waits `duration`, handling the messages as they come. On a thread
// without windows this is a plain sleep.
void SleepDispatchingAllButInput(std::chrono::milliseconds duration);

}  // namespace sizewalk::win32
