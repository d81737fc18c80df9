// The mount table: which mounts the drive list offers on POSIX systems.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/volumes.h"

namespace sizewalk::posix {

// One line of the mount table.
struct MountEntry {
    std::string mount_point;  // raw bytes, unescaped
    std::string fs_type;
    std::string device;  // the mount source: /dev/sda1, server:/export, tmpfs, ...
};

// The mounts a user would choose a volume from: no kernel views, memory or
// image mounts, no mounts below system directories, no second mount of one device, and
// always the root. Sorted by root, so the root comes first.
std::vector<Volume> FilterVolumes(const std::vector<MountEntry>& mounts);

// The entries of /proc/self/mountinfo; lines that do not parse are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

}  // namespace sizewalk::posix
