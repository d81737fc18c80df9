// The console events that ask a run to stop (CatchStopSignals).
#pragma once

namespace sizewalk::win32 {

// The signal number a console event `event` (CTRL_C_EVENT, ...) counts as,
// the same as on POSIX systems: SIGINT for Ctrl+C, SIGBREAK for Ctrl+Break,
// SIGTERM for the console closing, the user logging off or the system
// shutting down; 0 for an event that does not stop a run.
int StopSignalFor(unsigned long event);

}  // namespace sizewalk::win32
