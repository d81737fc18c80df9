// The volumes the window offers and the directories it shows: what a drive
// list and a directory list need of the file system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace sizewalk {

// What a drive list draws beside a volume.
enum class VolumeKind { kFixed, kRemovable, kNetwork, kOptical };

struct Volume {
    std::string root;   // the mount point, ending with the separator
    std::string label;  // the file system's label, or the device when it has none
    VolumeKind kind = VolumeKind::kFixed;
};

// The root of the volume in `volumes` holding `path` (the longest root that
// is a prefix of it at a component boundary), or empty when none does.
std::string VolumeRootOf(const std::vector<Volume>& volumes, const std::string& path);

// Whether `path` is `dir` or lies below it (`dir` without a closing separator).
bool IsAtOrBelow(std::string_view path, std::string_view dir);

class VolumeService {
  public:
    virtual ~VolumeService() = default;
    // The mounted volumes a user would choose from.
    virtual std::vector<Volume> Volumes() = 0;
    virtual Outcome<std::string> CurrentDirectory() = 0;
    // The names of the immediate subdirectories of `path`, sorted by bytes;
    // symbolic links are left out. A device that is not ready (no medium, a
    // dead network mount) fails with errnum::kDeviceUnavailable.
    virtual Outcome<std::vector<std::string>> Subdirectories(const std::string& path) = 0;
};

}  // namespace sizewalk
