// Which mounts the drive list offers, and what the directory list reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/volumes.h"
#include "temp_dir.h"

namespace sizewalk {
namespace {

TEST(FilterVolumes, KeepsWhatAUserWouldPick) {
    const std::tuple<const char*, std::vector<MountEntry>, std::vector<std::string>> cases[] = {
        {"a desktop; a device mounted again stays where it was first",
         {{"/", "ext4", "/dev/sda2"},
          {"/proc", "proc", "proc"},
          {"/tmp", "tmpfs", "tmpfs"},
          {"/boot/efi", "vfat", "/dev/sda1"},
          {"/home", "ext4", "/dev/sda3"},
          {"/run/media/ann/STICK", "vfat", "/dev/sdb1"},
          {"/mnt/nas", "nfs4", "nas:/export"},
          {"/var/www", "ext4", "/dev/sda3"},
          {"/srv/again", "ext4", "/dev/sda2"}},
         {"/", "/home/", "/mnt/nas/", "/run/media/ann/STICK/"}},
        {"a container: overlay root, files bound under /etc",
         {{"/", "overlay", "overlay"},
          {"/etc/hosts", "ext4", "/dev/vda"},
          {"/work", "ext4", "/dev/vda"}},
         {"/", "/work/"}},
        {"no root in the table, a mount point that is not a path",
         {{"/data", "xfs", "/dev/sdc"}, {"none", "ext4", "/dev/sdz"}},
         {"/", "/data/"}},
    };
    for (const auto& [what, mounts, roots] : cases) {
        std::vector<std::string> kept;
        for (const Volume& volume : FilterVolumes(mounts)) {
            kept.push_back(volume.root);
        }
        EXPECT_EQ(kept, roots) << what;
    }
}

TEST(ParseMountInfo, FieldsAndEscapes) {
    const std::string text =
        "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "27 26 8:17 / /media/My\\040Disk rw shared:5 master:1 - vfat /dev/sdb1 rw\n"
        "garbage line\n"
        "28 26 0:50 / /mnt/back\\134slash rw - fuse.sshfs me@host: rw";
    std::vector<std::string> fields;
    for (const MountEntry& m : ParseMountInfo(text)) {
        fields.push_back(m.mount_point + "|" + m.fs_type + "|" + m.device);
    }
    EXPECT_EQ(fields, (std::vector<std::string>{"/|ext4|/dev/vda", "/media/My Disk|vfat|/dev/sdb1",
                                                "/mnt/back\\slash|fuse.sshfs|me@host:"}));
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
    EXPECT_EQ(volumes.Subdirectories(tmp.path()).value(),
              (std::vector<std::string>{"alpha", "zeta", "\xff\xfe-bytes"}));
    const auto missing = volumes.Subdirectories(tmp.path() + "missing");
    EXPECT_TRUE(!missing.ok() && missing.error().number == errnum::kPathNotFound);
}

}  // namespace
}  // namespace sizewalk
