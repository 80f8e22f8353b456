#include "platform/system/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/Files.h"

namespace qv::sys {

TInstanceLock::~TInstanceLock() { Release(); }

TInstanceLock::Result TInstanceLock::Acquire(const std::string& dir, const std::string& name) {
    Release();
    const std::string path = WithTrailingSlash(dir) + name + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Result::Failed;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::HeldElsewhere : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void TInstanceLock::Release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace qv::sys
