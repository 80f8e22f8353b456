// The disks: the mount points of real file systems, and the figures of one
// of them. A disk is named by its mount point ("/", "/home").
#pragma once

#include <cstdint>
#include <string>

#include "sysinfo/MSI_Common.h"
#include "sysinfo/Syvex_Routines.h"

namespace qv {

class TDisk : public TInfoObject {
public:
    explicit TDisk(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TDisk"; }
    // Lists AvailableDisks.
    void GetInfo() override;

    // Describes `drive` (a path; kept whole): every figure below.
    void SetDrive(const TDiskSign& drive);
    const TDiskSign& Drive() const { return drive_; }
    // Asked again on each call.
    bool MediaPresent() const { return IsDriveReady(drive_, Source()); }

    // The mount points of real file systems (not proc, sysfs, tmpfs and
    // the like), in mount order, joined by ";".
    std::string AvailableDisks;
    TMediaType MediaType = dtUnknown;
    TFileFlags FileFlags = 0;
    std::string FileSystem;
    std::uint32_t FreeClusters = 0, TotalClusters = 0;
    std::int64_t FreeSpace = 0, Capacity = 0;
    std::string SerialNumber;
    std::string VolumeLabel;
    std::uint32_t SectorsPerCluster = 0, BytesPerSector = 0;
    std::uint32_t Serial = 0;

    // Whether a file system type holds files of a disk: false for the
    // kernel's views (proc, sysfs, cgroup, ...) and for memory (tmpfs).
    static bool IsDiskFileSystem(const std::string& type);

private:
    TDiskSign drive_;
};

}  // namespace qv
