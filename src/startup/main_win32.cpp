// sizewalk.exe: the window program. Started without command text (from the
// Start menu, a double click) it opens the window; with one (Task
// Scheduler) it runs once and shows nothing but its message boxes.
#include "startup/program_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return sizewalk::win32::RunProgram(instance, GetCommandLineW(),
                                       sizewalk::win32::Subsystem::kWindow);
}
