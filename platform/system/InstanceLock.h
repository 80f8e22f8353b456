// A named lock held for the life of a process: the second holder is refused.
#pragma once

#include <string>

namespace qv::sys {

class TInstanceLock {
public:
    TInstanceLock() = default;
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    enum class Result { Acquired, HeldElsewhere, Failed };

    // Locks the file `dir` + `name` + ".lock" (created when missing).
    Result Acquire(const std::string& dir, const std::string& name);
    // Locks the file `path`. A link there, anything but a regular file, or a
    // file owned by another user is refused (Failed): in a shared folder it
    // may be another user's, who must not stop this user's program.
    Result AcquireFile(const std::string& path);
    // Why the last Acquire failed.
    const std::string& Error() const { return error_; }
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::string error_;
};

}  // namespace qv::sys
