// The explorer's drive tree: the mounted volumes from the mount table with the kind the kernel
// marks them as, and the sub-folders of a node as the tree expands it.
#pragma once

#include "core/error.h"

#include <string>
#include <string_view>
#include <vector>

namespace folio::project {

// The drive kinds the tree tells apart, numbered as the system's drive types.
enum class DriveKind : int {
    Unknown = 0,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// Error 68: a folder whose device does not answer (no medium, I/O failure).
inline constexpr int DeviceUnavailableError = 68;
inline constexpr const char* DeviceUnavailableMessage = "Device not avaible!";

// The tree's image numbers: removable 1, CD-ROM 3, other drives 2; folders 4, 5 when expanded.
inline constexpr int FolderImage = 4;
inline constexpr int FolderExpandedImage = 5;
int driveImage(DriveKind kind);

struct Drive {
    std::string key;    // the mount point with a final "/": the node's key and File1's folder
    std::string text;   // what the tree shows: the mount point
    std::string device; // as the mount table names it
    std::string fsType;
    DriveKind kind = DriveKind::Unknown;
};

// The drives of a mount table's text (/proc/self/mounts form): "/" first, then every other
// mounted volume (a block device, a network share) in table order, once per mount point.
// Kernel filesystems (proc, sysfs, cgroup ...), read-only images (squashfs) and mounts of a
// single file are left out. `sysBlock` is where the kernel's block-device marks are read.
std::vector<Drive> parseMountTable(std::string_view mounts,
                                   const std::string& sysBlock = "/sys/block");

// The drives of this system (/proc/self/mounts, /sys/block); "/" alone when the table cannot
// be read.
std::vector<Drive> listDrives();

// The kind of a mounted device: CD-ROM when the kernel's device type is 5, removable when its
// "removable" mark is 1, remote for network filesystems, RAM disk for tmpfs/ramfs, else fixed.
// A partition takes the marks of its disk.
DriveKind driveKindOf(const std::string& device, const std::string& fsType,
                      const std::string& sysBlock = "/sys/block");

struct SubFolder {
    std::string name;
    std::string key;            // parent key + name + "/"
    bool hasSubFolders = false; // gets a placeholder child and the expanded image
};

// The sub-folders of a node, sorted as the explorer lists sort. A device that does not answer
// gives error 68 (DeviceUnavailableError); other failures give code 0.
Result<std::vector<SubFolder>> expandFolder(const std::string& key);

} // namespace folio::project
