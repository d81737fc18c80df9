// sizewalk.com: the console companion of sizewalk.exe, the same program.
#include "startup/program_win32.h"

int wmain() {
    return sizewalk::win32::RunProgram(GetModuleHandleW(nullptr), GetCommandLineW(),
                                       sizewalk::win32::Subsystem::kConsole);
}
