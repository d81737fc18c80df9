// Tracking files on POSIX systems.
#pragma once

#include <sys/stat.h>

#include <chrono>

#include "platform/file_service.h"
#include "platform/posix/descriptor.h"
#include "platform/stop_flag.h"

namespace sizewalk::posix {

struct FileOptions {
    // Set when the run is asked to stop; ends every wait at once.
    const StopFlag* stop = nullptr;
    // How long to wait for another process's lock or lease.
    std::chrono::milliseconds busy_wait = kBusyWait;
    // Whether a replacement is written to an unnamed file (O_TMPFILE) where
    // the file system allows; otherwise to a named one.
    bool unnamed_temporaries = true;
};

// Every file is opened relative to the directory's descriptor, without
// following symbolic links, and must be a regular file with one link; a new
// one gets mode 0644 less the umask. An appended file is held under an
// exclusive advisory lock (flock) from Open to its write, so that two runs
// never interleave; a replaced one is written to a temporary file
// (unnamed where possible) and renamed over it, keeping the earlier file's
// mode, and its owner where that is this user or the directory's owner.
class FileService final : public sizewalk::FileService {
  public:
    explicit FileService(FileOptions options = {}) : options_(options) {}

    Status CheckWritable(const Directory& directory, const std::string& name) override;
    Outcome<std::unique_ptr<OutputFile>> Open(const Directory& directory, const std::string& name,
                                              OpenMode mode) override;

  private:
    struct Target;
    Outcome<std::unique_ptr<OutputFile>> OpenForAppend(const Target& target);
    Outcome<std::unique_ptr<OutputFile>> OpenForReplace(const Target& target);
    Outcome<Descriptor> OpenExisting(const Target& target, struct stat& st) const;
    Status Lock(const Target& target, int fd) const;
    // Waits a moment; a failure once the run is asked to stop or the wait
    // has lasted too long.
    Status Pause(const Target& target) const;

    FileOptions options_;
};

// A seed for TemporaryName that differs from one process to the next and
// over time.
unsigned long long TemporaryNameSeed();
// Names tried for a temporary file before giving up (another user may have
// taken some of them on purpose).
inline constexpr unsigned kTemporaryNameAttempts = 100;

}  // namespace sizewalk::posix
