// The core of the file layer: how a file is opened for reading and how a
// file is replaced. Header only and POSIX only, so the scenario installer,
// which links nothing else of ours, copies by the same rules as the game.
//
// Reading never blocks on a FIFO or a device (O_NONBLOCK), checks with fstat
// that what was opened is a regular file of at most the caller's size, and,
// where the folder's rule says so, refuses a link (O_NOFOLLOW).
// Writing never opens an existing name: the data goes to a new file with a
// unique name beside the target (created with O_EXCL, as mkstemp does), is
// flushed to disk and renamed over the target. A link planted at the target
// or at any temporary name is never written through (the rename replaces a
// link at the target itself), and a crash leaves the old file.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace qv::sys {

// How a folder treats links. The program folder follows them (a packaged
// install may link its files); the machine-wide folder does not read through
// them (another local user may have planted one).
enum class LinkRule { Follow, Refuse };

enum class FileStatus {
    Ok,
    Missing,     // no such file
    NotRegular,  // a link where links are refused, a FIFO, a device, a folder ...
    TooLarge,    // larger than the caller accepts
    Failed,      // exists but cannot be opened or read (permissions, I/O error)
};

inline constexpr std::uint64_t kNoSizeLimit = ~std::uint64_t{0};

// A file opened for reading; the descriptor is closed with it.
class TReadableFile {
public:
    TReadableFile() = default;
    TReadableFile(TReadableFile&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), size_(other.size_), mode_(other.mode_),
          status_(other.status_), error_(std::move(other.error_)) {}
    TReadableFile& operator=(TReadableFile&&) = delete;
    TReadableFile(const TReadableFile&) = delete;
    TReadableFile& operator=(const TReadableFile&) = delete;
    ~TReadableFile() {
        if (fd_ >= 0) ::close(fd_);
    }

    // Opens `path` as `links` says and checks it. Status Ok: open, regular,
    // at most `maxSize` bytes. Otherwise closed, with the reason in Error().
    static TReadableFile Open(const std::string& path, LinkRule links, std::uint64_t maxSize) {
        TReadableFile f;
        int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
        if (links == LinkRule::Refuse) flags |= O_NOFOLLOW;
        const int fd = ::open(path.c_str(), flags);
        if (fd < 0) {
            const int e = errno;
            const std::string why = "Cannot open " + path + ": ";
            if (e == ENOENT) return f.Fail(FileStatus::Missing, why + std::strerror(e));
            if (e == ELOOP && links == LinkRule::Refuse) return f.Fail(FileStatus::NotRegular, why + "a link");
            return f.Fail(FileStatus::Failed, why + std::strerror(e));
        }
        f.fd_ = fd;
        struct stat st {};
        if (::fstat(fd, &st) != 0) return f.Fail(FileStatus::Failed, "Cannot read " + path + ": " + std::strerror(errno));
        if (!S_ISREG(st.st_mode)) return f.Fail(FileStatus::NotRegular, "Cannot read " + path + ": not a regular file");
        f.size_ = static_cast<std::uint64_t>(st.st_size);
        f.mode_ = st.st_mode;
        if (f.size_ > maxSize)
            return f.Fail(FileStatus::TooLarge, "File " + path + " is too large (" + std::to_string(f.size_) +
                                                    " bytes, at most " + std::to_string(maxSize) + ")");
        // A regular file: back to plain blocking reads.
        const int fl = ::fcntl(fd, F_GETFL);
        if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0)
            return f.Fail(FileStatus::Failed, "Cannot read " + path + ": " + std::strerror(errno));
        f.status_ = FileStatus::Ok;
        return f;
    }

    FileStatus Status() const { return status_; }
    const std::string& Error() const { return error_; }
    int Fd() const { return fd_; }
    std::uint64_t Size() const { return size_; }
    mode_t Mode() const { return mode_; }

private:
    TReadableFile&& Fail(FileStatus status, std::string error) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        status_ = status;
        error_ = std::move(error);
        return std::move(*this);
    }

    int fd_ = -1;
    std::uint64_t size_ = 0;
    mode_t mode_ = 0;
    FileStatus status_ = FileStatus::Failed;
    std::string error_;
};

// A file written in place (a sound file being recorded or edited): opened
// for writing (`readToo`: reading as well) never through a link and never a
// FIFO or a device; with `create` it is made (0644) or emptied. Returns the
// descriptor in blocking mode, or -1 (errno set).
inline int OpenInPlace(const std::string& path, bool readToo, bool create) {
    int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (readToo ? O_RDWR : O_WRONLY);
    if (create) flags |= O_CREAT | O_TRUNC;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        if (!S_ISREG(st.st_mode)) errno = EINVAL;
        else if (const int fl = ::fcntl(fd, F_GETFL); fl >= 0 && ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) == 0) return fd;
    }
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
}

// Writes all of `data`; false (errno set) when the file takes no more.
inline bool WriteAllTo(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A new file that replaces `path` once complete (see the top of this file).
// Destroyed without a successful Commit, the new file is removed and the old
// one stays as it was.
class TReplacementFile {
public:
    // `mode`: the permission bits the file gets (0600 for private data).
    explicit TReplacementFile(std::string path, mode_t mode = 0644) : path_(std::move(path)), mode_(mode) {}
    TReplacementFile(const TReplacementFile&) = delete;
    TReplacementFile& operator=(const TReplacementFile&) = delete;
    ~TReplacementFile() { Discard(); }

    // Creates the new file under a unique name beside the target.
    bool Create(std::string* error = nullptr) {
        const auto slash = path_.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
        std::string temp = folder + "." + name + ".XXXXXX";
        fd_ = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd_ < 0) return Fail(error, "Cannot create a file beside");
        temp_ = std::move(temp);
        return true;
    }

    int Fd() const { return fd_; }
    const std::string& TemporaryPath() const { return temp_; }

    bool Write(const void* data, std::size_t size, std::string* error = nullptr) {
        if (fd_ < 0) {
            errno = EBADF;
            return Fail(error, "Cannot write");
        }
        return WriteAllTo(fd_, data, size) || Fail(error, "Cannot write");
    }

    // Sets the permissions, flushes the data to disk and renames the new
    // file over the target.
    bool Commit(std::string* error = nullptr) {
        if (fd_ < 0) {
            errno = EBADF;
            return Fail(error, "Cannot write");
        }
        if (::fchmod(fd_, mode_) != 0) return Fail(error, "Cannot set the permissions of");
        if (::fsync(fd_) != 0) return Fail(error, "Cannot flush");
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) return Fail(error, "Cannot close");
        if (::rename(temp_.c_str(), path_.c_str()) != 0) return Fail(error, "Cannot replace");
        temp_.clear();
        return true;
    }

    void Discard() {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
        if (!temp_.empty()) ::unlink(temp_.c_str());
        temp_.clear();
    }

private:
    bool Fail(std::string* error, const char* what) {
        const int e = errno;
        if (error) *error = std::string(what) + " " + path_ + ": " + std::strerror(e);
        Discard();
        errno = e;
        return false;
    }

    std::string path_;
    mode_t mode_;
    std::string temp_;
    int fd_ = -1;
};

// What lies at `path`, without opening it: Ok for a regular file (a link to
// one only where links are followed), NotRegular for anything else there.
inline FileStatus InspectFile(const std::string& path, LinkRule links) {
    struct stat st {};
    const int r = links == LinkRule::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (r != 0) return errno == ENOENT || errno == ENOTDIR ? FileStatus::Missing : FileStatus::Failed;
    return S_ISREG(st.st_mode) ? FileStatus::Ok : FileStatus::NotRegular;
}

}  // namespace qv::sys
