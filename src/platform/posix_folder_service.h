// The folder service on POSIX systems: a plain sequential walk.
#pragma once

#include <cstdint>

#include "platform/folder_service.h"

namespace sizewalk {

// Kernel file systems whose files are not data on a disk (proc, sysfs, ...);
// `type` is statfs's f_type. Their trees count as 0 bytes.
bool IsPseudoFileSystem(std::uint64_t type);

class PosixFolderService final : public FolderService {
  public:
    Outcome<std::unique_ptr<FolderListing>> GetFolder(const std::string& path,
                                                      ProgressCallback progress) override;
};

}  // namespace sizewalk
