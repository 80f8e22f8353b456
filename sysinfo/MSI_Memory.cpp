#include "sysinfo/MSI_Memory.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <map>
#include <string>

namespace qv {

namespace {

// The user address space of a process on this architecture.
constexpr std::uint64_t AddressSpaceSize() {
#if defined(__x86_64__)
    return std::uint64_t{1} << 47;
#elif defined(__aarch64__)
    return std::uint64_t{1} << 48;
#elif UINTPTR_MAX > 0xFFFFFFFFu
    return std::uint64_t{1} << 47;
#else
    return std::uint64_t{3} << 30;
#endif
}

std::int64_t ToInt64(std::uint64_t value) { return static_cast<std::int64_t>(std::min<std::uint64_t>(value, INT64_MAX)); }

}  // namespace

void TMemory::GetInfo() {
    const TSysSource& source = Source();
    PhysicalTotal = PhysicalFree = VirtualTotal = VirtualFree = PageFileTotal = PageFileFree = 0;
    MemoryLoad = AllocGranularity = PageSize = 0;
    MinAppAddress = MaxAppAddress = 0;
    Win9x_SystemRes = Win9x_GDIRes = Win9x_UserRes = 0;

    const auto info = sysinfo::ParseColonNumbers(source.ReadText("/proc/meminfo").value_or(""));
    auto value = [&](const char* key) -> std::optional<std::uint64_t> {
        auto it = info.find(key);
        if (it == info.end()) return std::nullopt;
        return it->second;
    };
    const std::uint64_t total = value("MemTotal").value_or(0);
    std::uint64_t available = 0;
    if (auto avail = value("MemAvailable")) {
        available = *avail;
    } else {
        available = value("MemFree").value_or(0) + value("Cached").value_or(0);
    }
    available = std::min(available, total);
    PhysicalTotal = ToInt64(total);
    PhysicalFree = ToInt64(available);
    MemoryLoad = total == 0 ? 0 : static_cast<std::int32_t>((total - available) * 100.0L / total);

    const std::uint64_t commitLimit = value("CommitLimit").value_or(0);
    const std::uint64_t committed = value("Committed_AS").value_or(0);
    PageFileTotal = ToInt64(commitLimit);
    PageFileFree = ToInt64(commitLimit > committed ? commitLimit - committed : 0);

    // The address space is a figure of the architecture, narrowed by the
    // process's limit; what is free needs the process's own size.
    std::uint64_t space = AddressSpaceSize();
    const std::uint64_t limit = source.AddressSpaceLimit ? source.AddressSpaceLimit() : 0;
    if (limit != 0) space = std::min(space, limit);
    const auto status = sysinfo::ParseColonNumbers(source.ReadText("/proc/self/status").value_or(""));
    if (auto vmSize = status.find("VmSize"); vmSize != status.end()) {
        VirtualTotal = ToInt64(space);
        VirtualFree = ToInt64(space > vmSize->second ? space - vmSize->second : 0);
    }

    const std::int64_t page = source.PageSize ? source.PageSize() : 0;
    PageSize = static_cast<std::int32_t>(std::clamp<std::int64_t>(page, 0, INT32_MAX));
    AllocGranularity = PageSize;
    if (const std::optional<std::uint64_t> minAddress =
            sysinfo::ParseNumber<std::uint64_t>(source.ReadLine("/proc/sys/vm/mmap_min_addr")))
        MinAppAddress = *minAddress;
    MaxAppAddress = AddressSpaceSize() - 1;
}

}  // namespace qv
