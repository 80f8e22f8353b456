// The rule for the machine-wide data folder, shared by the game and by the
// scenario installer (which links nothing else of ours). Header only and
// POSIX only.
//
// The folder wanted is $QUORVEX_COMMON_DATA, else /var/lib/Tollbeck/Quorvex/.
// It is used when it accepts a test file; otherwise the program's own folder
// stands in for it.
#pragma once

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace qv::sys {

// The sub-path that both data folders end in.
inline constexpr const char* kVendorSubPath = "Tollbeck/Quorvex/";
// The machine-wide data folder unless QUORVEX_COMMON_DATA names another.
inline constexpr const char* kDefaultCommonDataDir = "/var/lib/Tollbeck/Quorvex/";
inline constexpr const char* kCommonDataVariable = "QUORVEX_COMMON_DATA";
// The largest scenario package the game loads (real ones are a few MB);
// the installer refuses larger ones.
inline constexpr std::uint64_t kMaxScenarioPackageSize = 256u * 1024u * 1024u;
// The game's own resource pack: where it lies is the program's folder.
inline constexpr const char* kProgramPackName = "quorvex.dat";

// `overrideDir` (the variable's value) when set and not empty, else the default.
inline std::string WantedCommonDataDir(const char* overrideDir) {
    return overrideDir && *overrideDir ? std::string(overrideDir) : std::string(kDefaultCommonDataDir);
}
inline std::string WantedCommonDataDir() { return WantedCommonDataDir(std::getenv(kCommonDataVariable)); }

// Whether a file can be created and removed again in `dir`.
inline bool AcceptsTestFile(const std::string& dir) {
    std::string name = dir;
    if (name.empty() || name.back() != '/') name += '/';
    name += "testXXXXXX.txt";
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return false;
    ::close(fd);
    return ::unlink(name.c_str()) == 0;
}

// The folder used: `wanted` when it accepts a test file, else `programDir`.
// Both are given and returned with a trailing '/'.
inline std::string CommonDataDirOrProgramDir(const std::string& wanted, const std::string& programDir) {
    return !wanted.empty() && AcceptsTestFile(wanted) ? wanted : programDir;
}

// The folder of the running executable, with a trailing '/'; empty when
// /proc/self/exe cannot be read.
inline std::string ExecutableFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    const std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace qv::sys
