// Which mounts the drive list offers, and what the directory list reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/volumes.h"
#include "temp_dir.h"

namespace sizewalk {
namespace {

std::vector<std::string> Roots(const std::vector<Volume>& volumes) {
    std::vector<std::string> roots;
    for (const Volume& volume : volumes) {
        roots.push_back(volume.root);
    }
    return roots;
}

TEST(FilterVolumes, KeepsWhatAUserWouldPick) {
    struct Case {
        const char* what;
        std::vector<MountEntry> mounts;
        std::vector<std::string> roots;
    };
    const std::vector<Case> cases = {
        {"a desktop",
         {{"/", "ext4", "/dev/sda2"},
          {"/proc", "proc", "proc"},
          {"/sys", "sysfs", "sysfs"},
          {"/sys/fs/cgroup", "cgroup2", "cgroup2"},
          {"/dev/pts", "devpts", "devpts"},
          {"/run", "tmpfs", "tmpfs"},
          {"/boot/efi", "vfat", "/dev/sda1"},
          {"/home", "ext4", "/dev/sda3"},
          {"/snap/core/1", "squashfs", "/dev/loop0"},
          {"/run/media/ann/STICK", "vfat", "/dev/sdb1"},
          {"/mnt/nas", "nfs4", "nas:/export"}},
         {"/", "/home/", "/mnt/nas/", "/run/media/ann/STICK/"}},
        {"one device mounted twice: the first mount stays",
         {{"/", "ext4", "/dev/sda2"},
          {"/srv/data", "ext4", "/dev/sdb1"},
          {"/var/www", "ext4", "/dev/sdb1"},
          {"/srv/again", "ext4", "/dev/sda2"}},
         {"/", "/srv/data/"}},
        {"a container: overlay root, files bound under /etc",
         {{"/", "overlay", "overlay"},
          {"/etc/hosts", "ext4", "/dev/vda"},
          {"/work", "ext4", "/dev/vda"}},
         {"/", "/work/"}},
        {"no root in the table: it is there all the same",
         {{"/data", "xfs", "/dev/sdc"}},
         {"/", "/data/"}},
        {"a mount point that is not a path",
         {{"/", "ext4", "/dev/sda2"}, {"none", "ext4", "/dev/sdz"}},
         {"/"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Roots(FilterVolumes(c.mounts)), c.roots) << c.what;
    }
}

TEST(ParseMountInfo, FieldsAndEscapes) {
    const std::string text =
        "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "27 26 8:17 / /media/My\\040Disk rw shared:5 master:1 - vfat /dev/sdb1 rw\n"
        "garbage line\n"
        "28 26 0:50 / /mnt/back\\134slash rw - fuse.sshfs me@host: rw";
    const std::vector<MountEntry> mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mount_point, "/");
    EXPECT_EQ(mounts[0].fs_type, "ext4");
    EXPECT_EQ(mounts[0].device, "/dev/vda");
    EXPECT_EQ(mounts[1].mount_point, "/media/My Disk");
    EXPECT_EQ(mounts[1].device, "/dev/sdb1");
    EXPECT_EQ(mounts[2].mount_point, "/mnt/back\\slash");
    EXPECT_EQ(mounts[2].fs_type, "fuse.sshfs");
}

TEST(VolumeRootOf, LongestRootAtAComponentBoundary) {
    const std::vector<Volume> volumes = {{"/", ""}, {"/mnt/usb/", ""}, {"/mnt/usb/inner/", ""}};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/home/ann", "/"},         {"/mnt/usb", "/mnt/usb/"},
        {"/mnt/usb/", "/mnt/usb/"}, {"/mnt/usb/inner/x", "/mnt/usb/inner/"},
        {"/mnt/usbx/data", "/"},    {"", ""},
        {"relative/path", ""},
    };
    for (const auto& [path, root] : cases) {
        EXPECT_EQ(VolumeRootOf(volumes, path), root) << path;
    }
}

TEST(PosixVolumeService, SubdirectoriesAreSortedDirectoriesWithoutLinks) {
    testing::TempDir tmp;
    tmp.File("zeta/f", 1);
    tmp.File("alpha/f", 1);
    tmp.File("\xff\xfe-bytes/f", 1);
    tmp.File("plain-file", 1);
    std::filesystem::create_directory_symlink(tmp.fs() / "alpha", tmp.fs() / "link");
    PosixVolumeService volumes;

    const auto listed = volumes.Subdirectories(tmp.path());
    ASSERT_TRUE(listed.ok()) << listed.error().description;
    EXPECT_EQ(listed.value(), (std::vector<std::string>{"alpha", "zeta", "\xff\xfe-bytes"}));

    const auto missing = volumes.Subdirectories(tmp.path() + "missing");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().number, errnum::kPathNotFound);
}

}  // namespace
}  // namespace sizewalk
