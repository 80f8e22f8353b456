#include "platform/system/Folders.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/system/Files.h"
#include "platform/system/InstanceMessage.h"

namespace qv::sys {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

}  // namespace

std::string ExecutableDir() {
    const std::string dir = ExecutableFolder();
    return dir.empty() ? "./" : dir;
}

std::string InstanceLockPath(const char* runtimeDir, unsigned uid, const std::string& name) {
    if (const std::string dir = RuntimeFolder(runtimeDir); !dir.empty()) return dir + name + ".lock";
    return "/tmp/" + name + "-" + std::to_string(uid) + ".lock";
}

std::string InstanceLockPath(const std::string& name) {
    return InstanceLockPath(std::getenv("XDG_RUNTIME_DIR"), ::getuid(), name);
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
    in.commonDataDir = WantedCommonDataDir();
    return in;
}

Folders ResolveFolders(const FolderInputs& in) {
    Folders f;
    f.programDir = WithTrailingSlash(in.programDir);

    if (!in.userDataBase.empty()) {
        std::string dir = WithTrailingSlash(in.userDataBase) + kVendorSubPath;
        if (CreateDirectories(dir, 0700)) f.userDataDir = dir;
    }
    if (!in.commonDataDir.empty()) {
        std::string dir = WithTrailingSlash(in.commonDataDir);
        if (CreateDirectories(dir)) f.commonDataDir = CommonDataDirOrProgramDir(dir, f.programDir);
    }

    if (f.userDataDir.empty()) f.userDataDir = f.programDir;
    if (f.commonDataDir.empty()) f.commonDataDir = f.programDir;
    return f;
}

}  // namespace qv::sys
