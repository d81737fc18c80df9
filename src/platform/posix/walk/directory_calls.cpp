#include "platform/posix/walk/directory_calls.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <cstdint>

namespace sizewalk::posix::walk {
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
constexpr std::uint64_t kGpfsMagic = 0x47504653;
constexpr std::uint64_t kLustreMagic = 0x0bd00bd0;
constexpr std::uint64_t kGfs2Magic = 0x01161970;
constexpr std::uint64_t kOrangefsMagic = 0x20030528;
constexpr std::uint64_t kBeegfsMagic = 0x19830326;
constexpr std::uint64_t kVboxsfMagic = 0x786f4256;

// The kernel's views of itself (proc, sysfs, cgroup, ...), whose files are
// not data on a disk and whose sizes mean nothing (/proc/kcore); `type` is
// statfs's f_type. Their trees count as 0 bytes. Narrower than the types the
// drive list hides (posix/mount_table.cpp): tmpfs, overlay or squashfs below
// a measured directory hold real files, and count.
bool IsKernelViewFileSystem(std::uint64_t type) {
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

// Network, cluster and FUSE file systems, where every request the walk makes
// is a round trip to a server or a process. FUSE covers sshfs, rclone,
// GlusterFS, virtiofs and the like; OCFS2 and GFS2 take a cluster lock over
// the network for their metadata.
bool IsNetworkFileSystem(std::uint64_t type) {
    switch (type) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case CIFS_SUPER_MAGIC:
        case SMB2_SUPER_MAGIC:
        case FUSE_SUPER_MAGIC:
        case V9FS_MAGIC:
        case CEPH_SUPER_MAGIC:
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
        case CODA_SUPER_MAGIC:
        case NCP_SUPER_MAGIC:
        case kGpfsMagic:
        case kLustreMagic:
        case OCFS2_SUPER_MAGIC:
        case kGfs2Magic:
        case kOrangefsMagic:
        case kBeegfsMagic:
        case kVboxsfMagic:
            return true;
        default:
            return false;
    }
}

}  // namespace

int DirectoryCalls::OpenDirectory(int parent, const char* name) {
    return openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

long DirectoryCalls::ReadEntries(int fd, void* buffer, std::size_t size) {
    return getdents64(fd, buffer, size);
}

int DirectoryCalls::StatEntry(int dir, const char* name, struct stat* st) {
    return fstatat(dir, name, st, AT_SYMLINK_NOFOLLOW);
}

FileSystemKind DirectoryCalls::FileSystemOf(int fd) {
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0) {
        return FileSystemKind::kLocal;
    }
    const auto type = static_cast<std::uint64_t>(static_cast<std::uint32_t>(fs.f_type));
    if (IsKernelViewFileSystem(type)) {
        return FileSystemKind::kKernelView;
    }
    return IsNetworkFileSystem(type) ? FileSystemKind::kNetwork : FileSystemKind::kLocal;
}

}  // namespace sizewalk::posix::walk
