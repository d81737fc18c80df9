// Volumes and directory lists on POSIX systems.
#pragma once

#include "platform/volumes.h"

namespace sizewalk::posix {

// Volumes from /proc/self/mountinfo, labelled from /dev/disk/by-label.
class VolumeService final : public sizewalk::VolumeService {
  public:
    std::vector<Volume> Volumes() override;
    Outcome<std::string> CurrentDirectory() override;
    Outcome<std::vector<std::string>> Subdirectories(const std::string& path) override;
};

}  // namespace sizewalk::posix
