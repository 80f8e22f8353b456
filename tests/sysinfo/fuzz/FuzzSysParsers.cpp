// Hostile machine texts straight into the readers of /proc, /etc, udev's
// database, desktop entries, zone files, kernel release names and the
// package manager's status file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/sysinfo/SysSource.h"
#include "sysinfo/MSI_OS.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qv::sysinfo::ParseShellAssignments(text);
    for (const auto& [key, value] : qv::sysinfo::ParseColonNumbers(text))
        if (key.empty()) __builtin_trap();
    qv::sysinfo::ParseIniText(text);
    qv::sysinfo::ParseUdevProperties(text);
    for (const qv::sysinfo::TDpkgPackage& package : qv::sysinfo::ParseDpkgStatus(text))
        if (package.Package.empty()) __builtin_trap();
    for (const qv::sysinfo::TAlsaCard& card : qv::sysinfo::ParseAlsaCards(text))
        if (card.Index < 0 || card.Index > 999) __builtin_trap();
    qv::TPosixZone zone;
    qv::ParsePosixZone(text, zone);
    qv::ParsePosixZone(qv::TzifFooter(text), zone);
    const qv::TKernelVersion version = qv::ParseKernelRelease(text);
    if (version.Build < 0 || version.Build > 0xFFFF) __builtin_trap();
    return 0;
}
