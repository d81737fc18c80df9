// Helpers shared by the POSIX tests: a temporary directory tree removed
// afterwards, sizes as the walk measures them, whole files, child programs,
// make-tree's measurements.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/folder_service.h"

namespace sizewalk::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, ending with the separator.
    std::string path() const { return path_.string() + "/"; }
    const std::filesystem::path& fs() const { return path_; }

    // A file of `size` bytes (sparse) at `relative`, its directories made.
    void File(const std::string& relative, std::uintmax_t size) const;

  private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

// Opens `dir` and lists it.
Outcome<std::unique_ptr<FolderListing>> List(FolderService& service, const std::string& dir,
                                             const ProgressCallback& progress = {});

// One line per subdirectory: name, tab, size or the error.
std::string Measure(const std::string& dir, posix::walk::WalkOptions options = {},
                    const ProgressCallback& progress = {});

std::string ReadFile(const std::filesystem::path& path);

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
