// Memory figures of the machine and of the process.
#pragma once

#include <cstdint>

#include "sysinfo/MSI_Common.h"

namespace qv {

class TMemory : public TInfoObject {
public:
    explicit TMemory(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TMemory"; }
    void GetInfo() override;

    // Physical memory: MemTotal and MemAvailable (bytes).
    std::int64_t PhysicalTotal = 0, PhysicalFree = 0;
    // The process's address space: its size and the part not mapped yet.
    std::int64_t VirtualTotal = 0, VirtualFree = 0;
    // The commit limit and what is left of it.
    std::int64_t PageFileTotal = 0, PageFileFree = 0;
    std::int32_t MemoryLoad = 0;  // percent of physical memory in use
    std::int32_t AllocGranularity = 0, PageSize = 0;
    std::uint64_t MinAppAddress = 0, MaxAppAddress = 0;
    std::uint8_t Win9x_SystemRes = 0, Win9x_GDIRes = 0, Win9x_UserRes = 0;
};

}  // namespace qv
