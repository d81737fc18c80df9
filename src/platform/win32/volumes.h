// Drives and directory lists on Windows.
#pragma once

#include "platform/volumes.h"

namespace sizewalk::win32 {

// Whether a listing that failed with `code` means the drive is not ready
// (no medium, an unreachable network drive): error 68 to the window.
bool MeansNotReady(unsigned long code);

// The drive letters: a network drive labelled with its share, a fixed
// drive with its volume label; removable drives are not read (no medium
// may be in them). Directories are listed without hidden ones and links,
// in the order of their names ignoring case.
class VolumeService final : public sizewalk::VolumeService {
  public:
    std::vector<Volume> Volumes() override;
    Outcome<std::string> CurrentDirectory() override;
    Outcome<std::vector<std::string>> Subdirectories(const std::string& path) override;
};

}  // namespace sizewalk::win32
