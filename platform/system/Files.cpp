#include "platform/system/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace qv::sys {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }

private:
    int fd_;
};

template <typename Container>
std::optional<Container> ReadWhole(const std::string& path, std::size_t maxSize, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<Container> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    auto failErrno = [&](const char* what) { return fail(std::string(what) + " " + path + ": " + std::strerror(errno)); };
    auto tooLarge = [&](std::uint64_t size) {
        return fail("File " + path + " is too large (" + std::to_string(size) + " bytes, at most " +
                    std::to_string(maxSize) + ")");
    };
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return failErrno("Cannot open");
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return failErrno("Cannot read");
    if (!S_ISREG(st.st_mode)) return fail("Cannot read " + path + ": not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > maxSize) return tooLarge(static_cast<std::uint64_t>(st.st_size));
    Container out;
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failErrno("Cannot read");
        }
        if (n == 0) break;
        if (static_cast<std::size_t>(n) > maxSize - out.size()) return tooLarge(out.size() + static_cast<std::size_t>(n));
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

}  // namespace

std::optional<std::string> ReadFileText(const std::string& path) { return ReadWhole<std::string>(path, kNoLimit, nullptr); }

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
    return ReadWhole<std::vector<std::uint8_t>>(path, kNoLimit, nullptr);
}

std::optional<std::string> ReadFileText(const std::string& path, std::size_t maxSize, std::string* error) {
    return ReadWhole<std::string>(path, maxSize, error);
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxSize,
                                                       std::string* error) {
    return ReadWhole<std::vector<std::uint8_t>>(path, maxSize, error);
}

bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error) {
    const std::string tmp = path + ".tmp";
    auto fail = [&](const char* what) {
        const int e = errno;
        if (error) *error = std::string(what) + " " + tmp + ": " + std::strerror(e);
        ::unlink(tmp.c_str());
        return false;
    };
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) return fail("Cannot create");
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd.get(), p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("Cannot write");
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0) return fail("Cannot flush");
    if (::close(fd.release()) != 0) return fail("Cannot close");
    if (::rename(tmp.c_str(), path.c_str()) != 0) return fail("Cannot rename");
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool CreateDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::string partial;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t next = path.find('/', i);
        if (next == std::string::npos) next = path.size();
        partial = path.substr(0, next);
        if (!partial.empty() && !DirectoryExists(partial)) {
            if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
        i = next + 1;
    }
    return DirectoryExists(path);
}

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

}  // namespace qv::sys
