#include "platform/posix/volumes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "platform/posix/errors.h"
#include "platform/posix/mount_table.h"

namespace sizewalk::posix {
namespace {

std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// udev writes unusual bytes of a label as \xNN.
std::string UnescapeUdevName(std::string_view name) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out += static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3]));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// Device node to label, for the file systems that have one.
std::map<std::string, std::string> LabelsByDevice() {
    std::map<std::string, std::string> labels;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
        const std::string device = CanonicalPath(entry.path().string());
        if (!device.empty()) {
            labels[device] = UnescapeUdevName(entry.path().filename().string());
        }
    }
    return labels;
}

// A device that cannot answer is "not ready", however the kernel words it:
// SystemError says so of all but an I/O error, which it keeps apart.
Error ListingError(int error_code, const std::string& path) {
    return error_code == EIO ? MakeError(errnum::kDeviceUnavailable, path)
                             : SystemError(error_code, path);
}

}  // namespace

std::vector<Volume> VolumeService::Volumes() {
    std::ifstream in("/proc/self/mountinfo", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<Volume> volumes = FilterVolumes(ParseMountInfo(text.str()));
    const std::map<std::string, std::string> labels = LabelsByDevice();
    for (Volume& volume : volumes) {
        if (volume.label.empty() || volume.label[0] != '/') {
            continue;
        }
        const auto it = labels.find(CanonicalPath(volume.label));
        if (it != labels.end()) {
            volume.label = it->second;
        }
    }
    return volumes;
}

Outcome<std::string> VolumeService::CurrentDirectory() {
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (!cwd) {
        return SystemError(errno, ".");
    }
    return std::string(cwd.get());
}

Outcome<std::vector<std::string>> VolumeService::Subdirectories(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return ListingError(errno, path);
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const int err = errno;
        close(fd);
        return ListingError(err, path);
    }
    const auto close_dir = [](DIR* open_dir) { closedir(open_dir); };
    std::unique_ptr<DIR, decltype(close_dir)> owner(dir, close_dir);
    std::vector<std::string> names;
    for (errno = 0; const dirent* entry = readdir(dir); errno = 0) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        const bool is_dir =
            entry->d_type == DT_UNKNOWN
                ? fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)
                : entry->d_type == DT_DIR;
        if (is_dir) {
            names.emplace_back(name);
        }
    }
    if (errno != 0) {
        return ListingError(errno, path);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace sizewalk::posix
