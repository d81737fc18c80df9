#include "platform/posix/mount_table.h"

#include <algorithm>
#include <array>
#include <set>

#include "platform/paths.h"

namespace sizewalk::posix {
namespace {

// File systems a user would not pick a volume from: the kernel's views of
// itself, and memory, image and helper mounts. The walk counts only the
// kernel's views as 0 bytes (walk/directory_calls.cpp): below a measured
// directory, the others hold real files.
constexpr std::array<std::string_view, 29> kNoUserVolumeTypes = {
    "autofs",      "binfmt_misc", "bpf",
    "cgroup",      "cgroup2",     "configfs",
    "debugfs",     "devpts",      "devtmpfs",
    "efivarfs",    "fusectl",     "hugetlbfs",
    "mqueue",      "nfsd",        "nsfs",
    "overlay",     "proc",        "pstore",
    "ramfs",       "rpc_pipefs",  "securityfs",
    "selinuxfs",   "squashfs",    "sysfs",
    "tmpfs",       "tracefs",     "fuse.gvfsd-fuse",
    "fuse.portal", "fuse.lxcfs"};

// Directories whose mounts belong to the system, not to the user. Removable
// media under /run/media stay.
constexpr std::array<std::string_view, 11> kSystemDirectories = {"/proc",
                                                                 "/sys",
                                                                 "/dev",
                                                                 "/run",
                                                                 "/etc",
                                                                 "/boot/efi",
                                                                 "/efi",
                                                                 "/snap",
                                                                 "/var/lib/docker",
                                                                 "/var/lib/containers",
                                                                 "/var/lib/snapd"};

bool IsSystemMount(std::string_view mount_point) {
    if (IsAtOrBelow(mount_point, "/run/media")) {
        return false;
    }
    return std::any_of(kSystemDirectories.begin(), kSystemDirectories.end(),
                       [&](std::string_view dir) { return IsAtOrBelow(mount_point, dir); });
}

bool IsNoUserVolumeType(std::string_view type) {
    return std::find(kNoUserVolumeTypes.begin(), kNoUserVolumeTypes.end(), type) !=
           kNoUserVolumeTypes.end();
}

std::string RootOf(const std::string& mount_point) {
    return mount_point.back() == kPathSeparator ? mount_point : mount_point + kPathSeparator;
}

// mountinfo writes blank, tab, newline and backslash as \ and three octal digits.
std::string UnescapeOctal(std::string_view field) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) &&
            octal(field[i + 2]) && octal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos) {
            fields.push_back(line.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return fields;
}

}  // namespace

std::vector<Volume> FilterVolumes(const std::vector<MountEntry>& mounts) {
    std::vector<Volume> volumes;
    std::set<std::string> devices;
    std::set<std::string> roots;
    for (const MountEntry& mount : mounts) {
        if (mount.mount_point.empty() || mount.mount_point[0] != kPathSeparator) {
            continue;
        }
        const bool is_root = mount.mount_point == std::string(1, kPathSeparator);
        if (!is_root && (IsNoUserVolumeType(mount.fs_type) || IsSystemMount(mount.mount_point) ||
                         !devices.insert(mount.device).second)) {
            continue;
        }
        devices.insert(mount.device);
        const std::string root = RootOf(mount.mount_point);
        if (roots.insert(root).second) {
            volumes.push_back({root, mount.device});
        } else {
            // A later mount on the same point hides the earlier one.
            for (Volume& volume : volumes) {
                if (volume.root == root) {
                    volume.label = mount.device;
                }
            }
        }
    }
    if (roots.count(std::string(1, kPathSeparator)) == 0) {
        volumes.push_back({std::string(1, kPathSeparator), ""});
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    return volumes;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    // id parent major:minor root mount-point options [optional...] - type source super-options
    std::vector<MountEntry> mounts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::vector<std::string_view> fields = SplitBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 3 ||
            dash - fields.begin() < 6) {
            continue;
        }
        mounts.push_back(
            {UnescapeOctal(fields[4]), UnescapeOctal(*(dash + 1)), UnescapeOctal(*(dash + 2))});
    }
    return mounts;
}

}  // namespace sizewalk::posix
