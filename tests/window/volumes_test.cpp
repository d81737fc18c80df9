// Which mounts the drive list offers, and what the directory list reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/mount_table.h"
#include "platform/posix/volumes.h"
#include "temp_dir.h"

namespace sizewalk {
namespace {

// The roots offered, each with its device, from lines of /proc/self/mountinfo.
TEST(Volumes, KeepsWhatAUserWouldPickFromTheMountTable) {
    const std::tuple<const char*, const char*, std::vector<std::string>> cases[] = {
        {"a desktop; a device mounted again stays where it was first",
         "21 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
         "22 21 0:5 / /proc rw - proc proc rw\n"
         "23 21 0:6 / /tmp rw - tmpfs tmpfs rw\n"
         "24 21 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
         "25 21 8:3 / /home rw shared:5 master:1 - ext4 /dev/sda3 rw\n"
         "26 21 8:17 / /run/media/ann/MY\\040STICK rw - vfat /dev/sdb1 rw\n"
         "27 21 0:50 / /mnt/back\\134slash rw - fuse.sshfs me@host: rw\n"
         "garbage line\n"
         "28 21 8:3 /www /var/www rw - ext4 /dev/sda3 rw\n"
         "29 21 8:2 /srv /srv/again rw - ext4 /dev/sda2 rw",
         {"/ /dev/sda2", "/home/ /dev/sda3",
          "/mnt/back\\slash/ me@host:", "/run/media/ann/MY STICK/ /dev/sdb1"}},
        {"a container: overlay root, files bound under /etc",
         "1 0 0:1 / / rw - overlay overlay rw\n"
         "2 1 254:0 /h /etc/hosts rw - ext4 /dev/vda rw\n"
         "3 1 254:0 /w /work rw - ext4 /dev/vda rw\n",
         {"/ overlay", "/work/ /dev/vda"}},
        {"no root in the table, a mount point that is not a path",
         "1 0 8:33 / /data rw - xfs /dev/sdc rw\n"
         "2 0 8:34 / none rw - ext4 /dev/sdz rw",
         {"/ ", "/data/ /dev/sdc"}},
    };
    for (const auto& [what, text, roots] : cases) {
        std::vector<std::string> kept;
        for (const Volume& volume : posix::FilterVolumes(posix::ParseMountInfo(text))) {
            kept.push_back(volume.root + " " + volume.label);
        }
        EXPECT_EQ(kept, roots) << what;
    }
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
    posix::VolumeService volumes;
    EXPECT_EQ(volumes.Subdirectories(tmp.path()).value(),
              (std::vector<std::string>{"alpha", "zeta", "\xff\xfe-bytes"}));
    const auto missing = volumes.Subdirectories(tmp.path() + "missing");
    EXPECT_TRUE(!missing.ok() && missing.error().number == errnum::kPathNotFound);
}

}  // namespace
}  // namespace sizewalk
