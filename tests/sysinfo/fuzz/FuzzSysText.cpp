// Hostile machine files: the same bytes as every text file the inventory
// reads (/proc, /etc, the user's XDG files, desktop entries, zone files),
// through the objects that read them from a tree.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <stdlib.h>

#include "platform/sysinfo/SysSource.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Memory.h"
#include "sysinfo/MSI_OS.h"
#include "sysinfo/Syvex_Routines.h"

namespace {

const std::string& Root() {
    static const std::string root = [] {
        std::string pattern = "/tmp/quorvex-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) __builtin_trap();
        return pattern + "/";
    }();
    return root;
}

void Put(const std::string& path, std::string_view text) {
    const std::string full = Root() + path;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* path : {"proc/meminfo", "proc/self/status", "proc/uptime", "proc/self/mounts",
                             "proc/asound/cards", "etc/os-release", "home/u/.config/user-dirs.dirs",
                             "home/u/.config/mimeapps.list", "usr/share/applications/a.desktop",
                             "proc/sys/vm/mmap_min_addr",
                             "proc/sys/kernel/osrelease", "etc/timezone", "usr/share/zoneinfo/Zone/Here",
                             "proc/cpuinfo", "sys/devices/system/cpu/online"})
        Put(path, text);
    qv::sysinfo::TSysSource source(Root());
    source.GetEnv = [](const std::string& name) -> std::optional<std::string> {
        if (name == "HOME") return std::string("/home/u");
        if (name == "TZ") return std::string("Zone/Here");
        return std::nullopt;
    };
    source.StatFs = [](const std::string&) { return std::optional<qv::sysinfo::TFsStats>(qv::sysinfo::TFsStats{}); };
    source.GraphicsRuntime = [] { return qv::sysinfo::TGraphicsRuntime{}; };
    source.Interfaces = [] { return std::vector<qv::sysinfo::TNetInterface>{}; };

    qv::TMemory memory(source);
    memory.GetInfo();
    if (memory.PhysicalFree > memory.PhysicalTotal || memory.MemoryLoad < 0 || memory.MemoryLoad > 100)
        __builtin_trap();
    qv::TMachine machine(source);
    machine.GetInfo();
    if (machine.SystemUpTime < 0) __builtin_trap();
    qv::TDiskInfo disk;
    qv::GetDiskInfo("/", disk, source);
    qv::ReadSystemUnit(source);
    qv::GetDefaultBrowser(source);
    std::string target, arguments;
    qv::ResolveShellLink("/usr/share/applications/a.desktop", target, arguments, source);
    qv::TOperatingSystem os(source);
    os.SetExceptionMode(qv::emRaise);
    os.GetInfo();
    return 0;
}
