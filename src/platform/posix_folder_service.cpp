#include "platform/posix_folder_service.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "platform/posix_errors.h"

namespace sizewalk {
namespace {

constexpr std::uint64_t kCgroup2Magic = 0x63677270;
constexpr std::uint64_t kBpfMagic = 0xcafe4a11;
constexpr std::uint64_t kTracefsMagic = 0x74726163;
constexpr std::uint64_t kSecurityfsMagic = 0x73636673;
constexpr std::uint64_t kConfigfsMagic = 0x62656570;
constexpr std::uint64_t kPstoreMagic = 0x6165676C;
constexpr std::uint64_t kMqueueMagic = 0x19800202;
constexpr std::uint64_t kBinfmtMagic = 0x42494e4d;
constexpr std::uint64_t kEfivarfsMagic = 0xde5e81e4;
constexpr std::uint64_t kSelinuxMagic = 0xf97cff8c;
constexpr std::uint64_t kSmackMagic = 0x43415d53;
constexpr std::uint64_t kFusectlMagic = 0x65735543;
constexpr std::uint64_t kNsfsMagic = 0x6e736673;
constexpr std::uint64_t kRpcPipefsMagic = 0x67596969;
constexpr std::uint64_t kHugetlbfsMagic = 0x958458f6;

// Closes a DIR* on every way out.
class DirHandle {
  public:
    explicit DirHandle(DIR* dir) : dir_(dir) {}
    ~DirHandle() {
        if (dir_ != nullptr) {
            closedir(dir_);
        }
    }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    DIR* get() const { return dir_; }

  private:
    DIR* dir_;
};

bool OnPseudoFileSystem(int fd) {
    struct statfs fs {};
    return fstatfs(fd, &fs) == 0 && IsPseudoFileSystem(static_cast<std::uint64_t>(fs.f_type));
}

std::string JoinPath(const std::string& dir, const char* name) {
    std::string path = dir;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

// One directory still to be read: its path and the device it lies on.
struct Pending {
    std::string path;
    dev_t parent_device;
};

// Sums one immediate subdirectory's tree. Entries that vanish while it is
// walked simply no longer count; any other failure fails the whole tree.
Outcome<std::uint64_t> MeasureTree(const std::string& root, dev_t parent_device,
                                   std::uint64_t& files_seen) {
    std::uint64_t total = 0;
    std::set<std::pair<dev_t, ino_t>> linked;  // files with several names, counted once
    std::vector<Pending> stack{{root, parent_device}};
    bool at_root = true;
    while (!stack.empty()) {
        Pending current = std::move(stack.back());
        stack.pop_back();
        const int fd = open(current.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            if (err == ENOENT && !at_root) {
                continue;
            }
            return ErrorFromErrno(err, current.path);
        }
        at_root = false;
        DIR* raw = fdopendir(fd);
        if (raw == nullptr) {
            const int err = errno;
            close(fd);
            return ErrorFromErrno(err, current.path);
        }
        DirHandle dir(raw);
        struct stat self {};
        if (fstat(fd, &self) != 0) {
            return ErrorFromErrno(errno, current.path);
        }
        if (self.st_dev != current.parent_device && OnPseudoFileSystem(fd)) {
            continue;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(dir.get());
            if (entry == nullptr) {
                if (errno != 0) {
                    return ErrorFromErrno(errno, current.path);
                }
                break;
            }
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            unsigned char type = entry->d_type;
            struct stat st {};
            if (type == DT_REG || type == DT_UNKNOWN) {
                if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno == ENOENT) {
                        continue;
                    }
                    return ErrorFromErrno(errno, JoinPath(current.path, name));
                }
                type = S_ISREG(st.st_mode)   ? DT_REG
                       : S_ISDIR(st.st_mode) ? DT_DIR
                                             : DT_LNK;  // anything else counts nothing
            }
            if (type == DT_DIR) {
                stack.push_back({JoinPath(current.path, name), self.st_dev});
            } else if (type == DT_REG) {
                ++files_seen;
                if (st.st_nlink > 1 && !linked.emplace(st.st_dev, st.st_ino).second) {
                    continue;
                }
                total += static_cast<std::uint64_t>(st.st_size);
            }
        }
    }
    return total;
}

class PosixListing final : public FolderListing {
  public:
    PosixListing(std::string dir, dev_t device, std::vector<std::string> names,
                 ProgressCallback progress)
        : dir_(std::move(dir)),
          device_(device),
          names_(std::move(names)),
          progress_(std::move(progress)) {}

    const std::vector<std::string>& SubFolders() const override { return names_; }

    Outcome<std::uint64_t> Size(std::size_t index) override {
        Outcome<std::uint64_t> size = MeasureTree(JoinPath(dir_, names_.at(index).c_str()), device_,
                                                  progress_state_.files_seen);
        ++progress_state_.entries_done;
        if (progress_) {
            progress_(progress_state_);
        }
        return size;
    }

  private:
    std::string dir_;
    dev_t device_;
    std::vector<std::string> names_;
    ProgressCallback progress_;
    ScanProgress progress_state_;
};

}  // namespace

bool IsPseudoFileSystem(std::uint64_t type) {
    switch (type) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEVPTS_SUPER_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case kCgroup2Magic:
        case DEBUGFS_MAGIC:
        case kTracefsMagic:
        case kSecurityfsMagic:
        case kConfigfsMagic:
        case kBpfMagic:
        case kPstoreMagic:
        case kMqueueMagic:
        case kBinfmtMagic:
        case kEfivarfsMagic:
        case kSelinuxMagic:
        case kSmackMagic:
        case kFusectlMagic:
        case kNsfsMagic:
        case kRpcPipefsMagic:
        case kHugetlbfsMagic:
            return true;
        default:
            return false;
    }
}

Outcome<std::unique_ptr<FolderListing>> PosixFolderService::GetFolder(const std::string& path,
                                                                      ProgressCallback progress) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return ErrorFromErrno(errno, path);
    }
    DIR* raw = fdopendir(fd);
    if (raw == nullptr) {
        const int err = errno;
        close(fd);
        return ErrorFromErrno(err, path);
    }
    DirHandle dir(raw);
    struct stat self {};
    if (fstat(fd, &self) != 0) {
        return ErrorFromErrno(errno, path);
    }
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                return ErrorFromErrno(errno, path);
            }
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        bool is_dir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            is_dir = fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (is_dir) {
            names.emplace_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return std::unique_ptr<FolderListing>(
        std::make_unique<PosixListing>(path, self.st_dev, std::move(names), std::move(progress)));
}

}  // namespace sizewalk
