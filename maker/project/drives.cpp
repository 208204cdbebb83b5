// The drive tree's volumes from the mount table, and the folders under a node.
#include "maker/project/drives.h"

#include "core/fileio.h"
#include "maker/generators/contents.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace folio::project {

namespace fs = std::filesystem;

namespace {

// Mount points and device names escape blanks, tabs, new lines and "\" as octal.
std::string unescapeMountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                         (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool isNetworkFs(std::string_view type) {
    static constexpr std::array<std::string_view, 8> types = {"nfs",   "nfs4", "cifs",       "smb3",
                                                              "smbfs", "9p",   "fuse.sshfs", "afs"};
    return std::find(types.begin(), types.end(), type) != types.end();
}

bool isRamFs(std::string_view type) {
    return type == "tmpfs" || type == "ramfs";
}

// The disk under /sys/block that holds the device: the device itself, or the disk that has
// it as a partition (sdb1 under sdb, nvme0n1p2 under nvme0n1).
std::string diskOf(const std::string& name, const std::string& sysBlock) {
    std::error_code ec;
    if (fs::exists(fs::path(sysBlock) / name, ec))
        return name;
    for (fs::directory_iterator it(sysBlock, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sub;
        if (fs::exists(it->path() / name, sub))
            return it->path().filename().string();
    }
    return {};
}

} // namespace

int driveImage(DriveKind kind) {
    switch (kind) {
    case DriveKind::Removable:
        return 1;
    case DriveKind::CdRom:
        return 3;
    default:
        return 2;
    }
}

DriveKind driveKindOf(const std::string& device, const std::string& fsType,
                      const std::string& sysBlock) {
    if (isNetworkFs(fsType))
        return DriveKind::Remote;
    if (isRamFs(fsType))
        return DriveKind::RamDisk;
    if (device.rfind("/dev/", 0) != 0)
        return DriveKind::Fixed;
    // /dev/disk/by-uuid/... and /dev/mapper/... are links to the kernel's own name.
    std::error_code ec;
    fs::path real = fs::canonical(device, ec);
    const std::string name = (ec ? fs::path(device) : real).filename().string();
    const std::string disk = diskOf(name, sysBlock);
    if (disk.empty())
        return DriveKind::Fixed;
    const fs::path base = fs::path(sysBlock) / disk;
    // SCSI peripheral type 5 is a CD-ROM drive; the sr driver names its disks srN.
    if (readSmallFile((base / "device" / "type").string()) == "5" || disk.rfind("sr", 0) == 0)
        return DriveKind::CdRom;
    if (readSmallFile((base / "removable").string()) == "1")
        return DriveKind::Removable;
    return DriveKind::Fixed;
}

std::vector<Drive> parseMountTable(std::string_view mounts, const std::string& sysBlock) {
    std::vector<Drive> drives;
    Drive root{"/", "/", "", "", DriveKind::Fixed};
    std::istringstream in{std::string(mounts)};
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, point, type;
        if (!(fields >> device >> point >> type))
            continue;
        device = unescapeMountField(device);
        point = unescapeMountField(point);
        if (point == "/") {
            root.device = device;
            root.fsType = type;
            root.kind = driveKindOf(device, type, sysBlock);
            continue;
        }
        const bool volume = (device.rfind("/dev/", 0) == 0 && type != "squashfs" &&
                             device.rfind("/dev/loop", 0) != 0) ||
                            isNetworkFs(type);
        if (!volume)
            continue;
        // Containers mount single files (hosts, resolv.conf) from the host's disk.
        std::error_code ec;
        if (!fs::is_directory(point, ec))
            continue;
        Drive drive{FixPath(point), point, device, type, driveKindOf(device, type, sysBlock)};
        // A later mount on the same point hides the earlier one.
        auto same = std::find_if(drives.begin(), drives.end(),
                                 [&](const Drive& d) { return d.key == drive.key; });
        if (same != drives.end())
            *same = std::move(drive);
        else
            drives.push_back(std::move(drive));
    }
    drives.insert(drives.begin(), std::move(root));
    return drives;
}

std::vector<Drive> listDrives() {
    std::ifstream in("/proc/self/mounts", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    return parseMountTable(text);
}

Result<std::vector<SubFolder>> expandFolder(const std::string& key) {
    auto names = generators::folderEntries(key, true);
    if (!names) {
        // Tell a device that does not answer from a folder that is merely unreadable.
        std::error_code ec;
        fs::directory_iterator probe(key, ec);
        const int e = ec.value();
        const bool unavailable = e == EIO || e == ENXIO || e == ENODEV || e == ENOMEDIUM;
        return fail(names.error().message, unavailable ? DeviceUnavailableError : 0);
    }
    std::vector<SubFolder> folders;
    folders.reserve(names->size());
    for (std::string& name : *names) {
        SubFolder folder;
        folder.key = FixPath(key) + name + "/";
        std::error_code ec;
        for (fs::directory_iterator it(folder.key, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeEc;
            if (it->is_directory(typeEc)) {
                folder.hasSubFolders = true;
                break;
            }
        }
        folder.name = std::move(name);
        folders.push_back(std::move(folder));
    }
    return folders;
}

} // namespace folio::project
