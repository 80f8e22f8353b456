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
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace qv::sys
