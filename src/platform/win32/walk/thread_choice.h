// How many threads walk a directory on Windows.
#pragma once

#include <string>

#include "platform/win32/win.h"

namespace sizewalk::win32::walk {

// GetDriveTypeW, or what a test puts in its place.
using DriveTypeOf = UINT (*)(const wchar_t* root);

// For the directory `dir` (a long path): the count `requested` asks for
// (SIZEWALK_THREADS, possibly null) when it is one; on a network share (a
// UNC path, or a drive that `drive_type` says is remote) kNetworkWalkThreads;
// otherwise LocalWalkThreads().
unsigned WalkThreadsFor(const std::wstring& dir, const char* requested,
                        DriveTypeOf drive_type = &GetDriveTypeW);

// SIZEWALK_THREADS in this process's environment; empty when unset.
std::string RequestedWalkThreads();

}  // namespace sizewalk::win32::walk
