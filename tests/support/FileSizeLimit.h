// While it lives, no file this process writes can grow past `bytes`: a
// write beyond fails with EFBIG, as on a full disk. Unlike permissions, it
// also holds for a test running as root.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstddef>

namespace qv::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::size_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace qv::test
