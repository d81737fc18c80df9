// Helpers shared by the POSIX tests: a temporary directory tree removed
// afterwards, sizes as the walk measures them, whole files, child programs,
// make-tree's measurements.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
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

// `value` in decimal.
std::string Decimal(ByteCount value);

// One line per subdirectory: name, tab, size or the error.
std::string Measure(const std::string& dir, walk::WalkOptions options = {},
                    const ProgressCallback& progress = {});

std::string ReadFile(const std::filesystem::path& path);

struct Result {
    int exit_status = -1;
    std::string output;  // standard output and standard error
};

// Runs argv[0], found on PATH, without a display (a message box could wait
// for a click that never comes) unless `environment` ("NAME=value") gives
// one; calls `while_running` with its process id before waiting for it.
Result RunProgram(std::vector<std::string> argv, const std::vector<std::string>& environment = {},
                  const std::function<void(pid_t)>& while_running = {});

// A child process holding a read lease on a file (as Samba's oplocks and
// NFS delegations are), which gives it up when a writer breaks it, or, not
// `gives_up`, keeps it as long as the kernel lets it.
class LeaseHolder {
  public:
    LeaseHolder(const std::string& path, bool gives_up);
    ~LeaseHolder();
    LeaseHolder(const LeaseHolder&) = delete;
    LeaseHolder& operator=(const LeaseHolder&) = delete;
    // Whether the lease could be taken (not on every file system).
    bool held() const { return held_; }

  private:
    pid_t pid_ = -1;
    bool held_ = false;
};

// Whether /proc/locks shows a lock or lease on `path` that someone waits
// for; waits up to ten seconds for it.
bool SomeoneWaitsFor(const std::string& path);

// A tmpfs of `size` ("16k") mounted at a fresh directory while it lives;
// needs root.
class Tmpfs {
  public:
    explicit Tmpfs(const char* size);
    ~Tmpfs();
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool mounted() const { return mounted_; }
    std::string path() const { return dir_.path(); }

  private:
    TempDir dir_;
    bool mounted_ = false;
};

// The tree of `script` (scripts/make-tree) at `root` and its own measurement:
// name and bytes of each subdirectory, in byte order of the names; none when
// it fails.
std::vector<std::pair<std::string, std::string>> MakeTree(const std::string& script,
                                                          const std::string& root,
                                                          std::vector<std::string> options);

}  // namespace sizewalk::testing
