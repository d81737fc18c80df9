// Tracking files on POSIX systems.
#pragma once

#include "platform/file_service.h"
#include "platform/stop_flag.h"

namespace sizewalk {

// Files are opened without following symbolic links, must be regular files,
// and get mode 0644 less the umask when created. An appended file is held
// under an exclusive advisory lock (flock) until committed or rolled back,
// so that two runs never interleave; a replaced one is written to a
// temporary file beside it and renamed over it. Waiting for the lock or for
// another process's lease on the file ends when `stop` is set.
class PosixFileService final : public FileService {
  public:
    explicit PosixFileService(const StopFlag* stop = nullptr) : stop_(stop) {}

    Outcome<std::unique_ptr<OutputFile>> Open(const std::string& path, OpenMode mode) override;

  private:
    Outcome<std::unique_ptr<OutputFile>> OpenForAppend(const std::string& path);
    Outcome<std::unique_ptr<OutputFile>> OpenForReplace(const std::string& path);
    Outcome<int> OpenExisting(const std::string& path) const;
    bool StopRequested() const;
    Error Stopped() const;

    const StopFlag* stop_;
};

}  // namespace sizewalk
