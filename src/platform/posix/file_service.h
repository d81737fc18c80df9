// Tracking files on POSIX systems.
#pragma once

#include "platform/file_service.h"

namespace sizewalk {

// Files are opened without following symbolic links, must be regular files,
// get mode 0644 less the umask when created, and are held under an exclusive
// advisory lock (flock) until closed, so that two runs never interleave.
class PosixFileService final : public FileService {
  public:
    Outcome<bool> Exists(const std::string& path) override;
    Outcome<std::unique_ptr<OutputFile>> Open(const std::string& path, OpenMode mode) override;
};

}  // namespace sizewalk
