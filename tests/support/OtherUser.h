// Files of another user, for the owner checks of the file layer. Run as
// root, a test gives a file to another uid for real (chown). Run as any
// other user it cannot, so the layer is told to take the files named here
// for another user's. Either way the checks see the same thing.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <utility>

#include "platform/system/FileCore.h"

namespace qv::test {

// A uid no file of this machine belongs to.
inline constexpr uid_t kOtherUid = 4242;

inline bool RunningAsRoot() { return ::geteuid() == 0; }

class OtherUserFiles {
public:
    OtherUserFiles() { sys::SetTrustedOwnerRuleForTesting(&Trusted); }
    ~OtherUserFiles() {
        sys::SetTrustedOwnerRuleForTesting(nullptr);
        Marked().clear();
    }
    OtherUserFiles(const OtherUserFiles&) = delete;
    OtherUserFiles& operator=(const OtherUserFiles&) = delete;

    // Makes the file or folder at `path` (not followed when a link) another user's.
    static bool Give(const std::string& path) {
        if (RunningAsRoot()) return ::lchown(path.c_str(), kOtherUid, static_cast<gid_t>(-1)) == 0;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return false;
        Marked().insert({st.st_dev, st.st_ino});
        return true;
    }

private:
    static std::set<std::pair<dev_t, ino_t>>& Marked() {
        static std::set<std::pair<dev_t, ino_t>> marked;
        return marked;
    }
    static bool Trusted(const struct stat& st) {
        return sys::RootOrPlayer(st) && Marked().count({st.st_dev, st.st_ino}) == 0;
    }
};

}  // namespace qv::test
