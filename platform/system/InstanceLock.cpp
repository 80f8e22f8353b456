#include "platform/system/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/system/Files.h"

namespace qv::sys {

TInstanceLock::~TInstanceLock() { Release(); }

TInstanceLock::Result TInstanceLock::Acquire(const std::string& dir, const std::string& name) {
    return AcquireFile(WithTrailingSlash(dir) + name + ".lock");
}

TInstanceLock::Result TInstanceLock::AcquireFile(const std::string& path) {
    Release();
    error_.clear();
    auto fail = [&](std::string why) {
        error_ = "Cannot use the lock file " + path + ": " + why;
        return Result::Failed;
    };
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return fail("not a file of this user");
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) return Result::HeldElsewhere;
        return fail(std::strerror(e));
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
