#include "platform/system/Folders.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/system/Files.h"

namespace qv::sys {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

}  // namespace

std::string ExecutableDir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

std::string RuntimeDir() {
    std::string dir = Env("XDG_RUNTIME_DIR");
    if (dir.empty() || !DirectoryExists(dir)) dir = "/tmp";
    return WithTrailingSlash(dir);
}

FolderInputs FolderInputsFromEnvironment() {
    FolderInputs in;
    in.programDir = ExecutableDir();
    std::string data = Env("XDG_DATA_HOME");
    if (data.empty()) {
        const std::string home = Env("HOME");
        if (!home.empty()) data = WithTrailingSlash(home) + ".local/share";
    }
    in.userDataBase = data;
    const std::string common = Env("QUORVEX_COMMON_DATA");
    in.commonDataDir = common.empty() ? std::string(kDefaultCommonDataDir) : common;
    return in;
}

bool AcceptsTestFile(const std::string& dir) {
    std::string name = WithTrailingSlash(dir) + "testXXXXXX.txt";
    int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return false;
    ::close(fd);
    return ::unlink(name.c_str()) == 0;
}

Folders ResolveFolders(const FolderInputs& in) {
    Folders f;
    f.programDir = WithTrailingSlash(in.programDir);

    if (!in.userDataBase.empty()) {
        std::string dir = WithTrailingSlash(in.userDataBase) + kVendorSubPath;
        if (CreateDirectories(dir)) f.userDataDir = dir;
    }
    if (!in.commonDataDir.empty()) {
        std::string dir = WithTrailingSlash(in.commonDataDir);
        if (CreateDirectories(dir) && AcceptsTestFile(dir)) f.commonDataDir = dir;
    }

    if (f.userDataDir.empty()) f.userDataDir = f.programDir;
    if (f.commonDataDir.empty()) f.commonDataDir = f.programDir;
    return f;
}

}  // namespace qv::sys
