// A hostile version file of the internal pages: only a version number and a
// bounded web address come out of it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "frontend/ui/qv3VersionInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const qv::ui::TVersionFile file = qv::ui::ReadVersionFile(reply);
    if (!file.Valid) {
        if (!file.Version.empty() || !file.Page.empty()) __builtin_trap();
        return 0;
    }
    if (file.Version.size() < 7 || file.Version.size() > 23) __builtin_trap();
    for (char c : file.Version) {
        if (c != '.' && (c < '0' || c > '9')) __builtin_trap();
    }
    if (file.Page.size() > qv::ui::kVersionPageLimit) __builtin_trap();
    if (file.Page.find_first_of(" \r\n") != std::string::npos) __builtin_trap();
    return 0;
}
