// Helpers shared by the POSIX tests: a temporary directory tree removed
// afterwards, sizes as the walk measures them, whole files, child programs,
// make-tree's measurements.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/folder_service.h"

namespace sizewalk::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, ending with the separator.
    std::string path() const { return path_.string() + "/"; }
    const std::filesystem::path& fs() const { return path_; }

    // A file of `size` bytes (sparse) at `relative`, its directories made.
    void File(const std::string& relative, std::uintmax_t size) const;

  private:
    std::filesystem::path path_;
};

// One line per subdirectory: name, tab, size or the error.
std::string Measure(const std::string& dir, walk::WalkOptions options = {},
                    const ProgressCallback& progress = {});

std::string ReadFile(const std::filesystem::path& path);

struct Result {
    int exit_status = -1;
    std::string output;  // standard output and standard error
};

// Runs argv[0], found on PATH, without a display: a message box could wait
// for a click that never comes.
Result RunProgram(std::vector<std::string> argv);

// The tree of `script` (scripts/make-tree) at `root` and its own measurement:
// name and bytes of each subdirectory, in byte order of the names; none when
// it fails.
std::vector<std::pair<std::string, std::string>> MakeTree(const std::string& script,
                                                          const std::string& root,
                                                          std::vector<std::string> options);

}  // namespace sizewalk::testing
