#include "sysinfo/MSI_Disk.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qv {

bool TDisk::IsDiskFileSystem(const std::string& type) {
    static constexpr std::array<std::string_view, 27> kNotDisks = {
        "proc",     "sysfs",      "cgroup",     "cgroup2",  "devpts",     "devtmpfs",  "securityfs",
        "tmpfs",    "ramfs",      "pstore",     "bpf",      "debugfs",    "tracefs",   "configfs",
        "fusectl",  "mqueue",     "hugetlbfs",  "autofs",   "binfmt_misc", "efivarfs", "rpc_pipefs",
        "nsfs",     "selinuxfs",  "fuse.gvfsd-fuse", "fuse.portal", "squashfs", "none"};
    return !type.empty() && std::find(kNotDisks.begin(), kNotDisks.end(), type) == kNotDisks.end();
}

void TDisk::GetInfo() {
    AvailableDisks.clear();
    std::vector<std::string> seen;
    for (const TMountEntry& m : ReadMounts(Source())) {
        if (!IsDiskFileSystem(m.Type) || std::find(seen.begin(), seen.end(), m.MountPoint) != seen.end()) continue;
        seen.push_back(m.MountPoint);
        if (!AvailableDisks.empty()) AvailableDisks += ';';
        AvailableDisks += m.MountPoint;
    }
}

void TDisk::SetDrive(const TDiskSign& drive) {
    drive_ = drive;
    TDiskInfo info;
    GetDiskInfo(drive_, info, Source());
    MediaType = info.MediaType;
    FileFlags = info.FileFlags;
    Capacity = info.Capacity;
    FreeSpace = info.FreeSpace;
    BytesPerSector = info.BytesPerSector;
    TotalClusters = info.TotalClusters;
    FreeClusters = info.FreeClusters;
    SectorsPerCluster = info.SectorsPerCluster;
    VolumeLabel = info.VolumeLabel;
    FileSystem = info.FileSystem;
    SerialNumber = info.SerialNumber;
    Serial = info.Serial;
}

}  // namespace qv
