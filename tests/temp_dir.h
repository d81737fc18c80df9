// Helpers shared by the POSIX tests: sizes as the walk measures them, child
// programs, waiting for a lock.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/folder_service.h"
#include "services.h"

namespace sizewalk::testing {

// One line per subdirectory: name, tab, size or the error.
std::string Measure(const std::string& dir, posix::walk::WalkOptions options = {},
                    const ProgressCallback& progress = {});

struct Result {
    int exit_status = -1;
    std::string output;  // standard output and standard error
};

// Where a program's standard output and error go: a file read afterwards, a
// pipe that nobody reads any more, a terminal (a pseudo-terminal).
enum class Output { kFile, kBrokenPipe, kTerminal };

// Runs argv[0], found on PATH, without a display (a message box could wait
// for a click that never comes) unless `environment` ("NAME=value") gives
// one; calls `while_running` with its process id before waiting for it.
Result RunProgram(std::vector<std::string> argv, const std::vector<std::string>& environment = {},
                  const std::function<void(pid_t)>& while_running = {},
                  Output output = Output::kFile);

// Whether /proc/locks shows a lock or lease on `path` that someone waits
// for; waits up to ten seconds for it.
bool SomeoneWaitsFor(const std::string& path);

}  // namespace sizewalk::testing
