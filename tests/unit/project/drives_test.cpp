// The drive tree: volumes and kinds from a mount table, and folder expansion.
#include "maker/project/drives.h"
#include "tests/tools/testdir.h"

#include <gtest/gtest.h>

using namespace folio::project;

namespace {

// A /sys/block with a fixed disk, a USB stick and a CD-ROM drive.
struct SysBlock : TempDir {
    SysBlock() {
        disk("sda", "0", "0");
        std::filesystem::create_directories(path / "sda" / "sda1");
        disk("sdb", "1", "0");
        std::filesystem::create_directories(path / "sdb" / "sdb1");
        disk("sr0", "1", "5");
    }
    void disk(const std::string& name, const std::string& removable, const std::string& type) {
        std::filesystem::create_directories(path / name / "device");
        write(name + "/removable", removable + "\n");
        write(name + "/device/type", type + "\n");
    }
};

} // namespace

TEST(Drives, MountTableGivesRootFirstThenVolumesWithTheirKinds) {
    SysBlock sys;
    TempDir mounts;
    for (const char* d : {"usb stick", "cd", "share", "data"})
        std::filesystem::create_directories(mounts.path / d);
    mounts.write("hosts", "");
    const std::string m = mounts.str();
    const std::string table = "proc /proc proc rw 0 0\n"
                              "/dev/sdb1 " +
                              m +
                              "/usb\\040stick vfat rw 0 0\n"
                              "/dev/sda1 / ext4 rw 0 0\n"
                              "/dev/sr0 " +
                              m +
                              "/cd iso9660 ro 0 0\n"
                              "server:/x " +
                              m +
                              "/share nfs4 rw 0 0\n"
                              "/dev/sda1 " +
                              m +
                              "/hosts ext4 rw 0 0\n"
                              "/dev/loop3 " +
                              m +
                              "/data squashfs ro 0 0\n"
                              "tmpfs /run tmpfs rw 0 0\n"
                              "/dev/sda1 " +
                              m + "/data ext4 rw 0 0\n";
    const auto drives = parseMountTable(table, sys.str());
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(drives[0].key, "/");
    EXPECT_EQ(drives[0].kind, DriveKind::Fixed);
    EXPECT_EQ(drives[1].key, m + "/usb stick/");
    EXPECT_EQ(drives[1].text, m + "/usb stick");
    EXPECT_EQ(drives[1].kind, DriveKind::Removable);
    EXPECT_EQ(driveImage(drives[1].kind), 1);
    EXPECT_EQ(drives[2].kind, DriveKind::CdRom);
    EXPECT_EQ(driveImage(drives[2].kind), 3);
    EXPECT_EQ(drives[3].kind, DriveKind::Remote);
    EXPECT_EQ(driveImage(drives[3].kind), 2);
    EXPECT_EQ(drives[4].key, m + "/data/");
    EXPECT_EQ(drives[4].kind, DriveKind::Fixed);
}

TEST(Drives, ATableWithoutRootStillOffersRoot) {
    const auto drives = parseMountTable("", "/nonexistent");
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].key, "/");
    EXPECT_FALSE(listDrives().empty());
}

TEST(Drives, ExpandingListsSubFoldersSortedWithPlaceholderMarks) {
    TempDir t;
    std::filesystem::create_directories(t.path / "beta" / "inner");
    std::filesystem::create_directories(t.path / "Alpha");
    t.write("file.txt", "");
    auto folders = expandFolder(t.str() + "/");
    ASSERT_TRUE(folders);
    ASSERT_EQ(folders->size(), 2u);
    EXPECT_EQ((*folders)[0].name, "Alpha");
    EXPECT_FALSE((*folders)[0].hasSubFolders);
    EXPECT_EQ((*folders)[1].key, t.str() + "/beta/");
    EXPECT_TRUE((*folders)[1].hasSubFolders);

    auto missing = expandFolder(t.str() + "/none/");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, 0);
    EXPECT_NE(missing.error().message.find("none"), std::string::npos);
}
