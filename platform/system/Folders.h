// Where the program, the player's data and the machine-wide data live.
#pragma once

#include <string>

#include "platform/system/CommonDataFolder.h"

namespace qv::sys {

struct FolderInputs {
    std::string programDir;     // folder of the executable, trailing '/'
    std::string userDataBase;   // $XDG_DATA_HOME, else $HOME/.local/share; empty when neither is set
    std::string commonDataDir;  // the machine-wide folder wanted
};

struct Folders {
    std::string programDir;
    std::string userDataDir;
    std::string commonDataDir;
};

// The inputs as this process sees them: /proc/self/exe and the environment.
FolderInputs FolderInputsFromEnvironment();

// Creates the data folders when missing. The user folder falls back to the
// program folder when it cannot be created; the common folder also when it
// does not accept a test file (it exists but this user may not write there).
Folders ResolveFolders(const FolderInputs& inputs);

// The folder of the running executable, with a trailing '/'.
std::string ExecutableDir();

// The instance lock: `name` + ".lock" in $XDG_RUNTIME_DIR (when it names a
// folder), else /tmp/<name>-<uid>.lock, as the instance socket is named.
std::string InstanceLockPath(const char* runtimeDir, unsigned uid, const std::string& name);
std::string InstanceLockPath(const std::string& name);

}  // namespace qv::sys
