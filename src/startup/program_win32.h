// The program on Windows, as both of its files run it: sizewalk.exe, a
// window program (no console window for a scheduled run, none behind the
// window), and sizewalk.com, its console companion, which cmd and
// PowerShell find first for "sizewalk", wait for, and take the exit status
// of.
#pragma once

#include <string_view>

#include "platform/win32/win.h"

namespace sizewalk::win32 {

enum class Subsystem { kWindow, kConsole };

// Runs the program for the process command line `command_line` (the
// program's own path first); returns the exit status.
int RunProgram(HINSTANCE instance, std::wstring_view command_line, Subsystem subsystem);

}  // namespace sizewalk::win32
