// The core of the file layer: how a file is opened for reading and how a
// file is replaced. Header only and POSIX only, so the scenario installer,
// which links nothing else of ours, copies by the same rules as the game.
//
// Reading never blocks on a FIFO or a device (O_NONBLOCK), checks with fstat
// that what was opened is a regular file of at most the caller's size, and,
// where the folder's rule says so, refuses a link (O_NOFOLLOW) and a file
// another user may have put there (see TrustedOwnerRule).
// Writing never opens an existing name: the data goes to a new file with a
// unique name beside the target (created with O_EXCL, as mkstemp does), is
// flushed to disk and renamed over the target. A link planted at the target
// or at any temporary name is never written through (the rename replaces a
// link at the target itself), and a crash leaves the old file. The new file
// is locked (flock) until it has its name, so that the new files a killed
// writer left behind can be told from live ones (RemoveStaleTemporaries).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
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
    NotRegular,  // a link where links are refused, a FIFO, a device, a socket, a folder,
                 // another user's file where links are refused and others can write ...
    TooLarge,    // larger than the caller accepts
    Failed,      // exists but cannot be opened or read (permissions, I/O error)
};

inline constexpr std::uint64_t kNoSizeLimit = ~std::uint64_t{0};
// The permissions of what only the player may read: settings, replays, the log.
inline constexpr mode_t kPrivateFileMode = 0600;

// Whose files a folder that refuses links trusts: root's and the player's
// (this process's effective user); `st` is what fstat or stat gave. A test
// that cannot give a file to another user sets a rule of its own that
// takes some of its files for another user's.
using TOwnerRule = bool (*)(const struct stat& st);
inline bool RootOrPlayer(const struct stat& st) { return st.st_uid == 0 || st.st_uid == ::geteuid(); }
inline TOwnerRule& TrustedOwnerRule() {
    static TOwnerRule rule = RootOrPlayer;
    return rule;
}
// Tests only: `rule` decides whose files are trusted; null restores RootOrPlayer.
inline void SetTrustedOwnerRuleForTesting(TOwnerRule rule) { TrustedOwnerRule() = rule ? rule : RootOrPlayer; }

// The folder part of `path`: "." for a plain name, "/" for a name at the root.
inline std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Why the file at `path` (`st` its status) may not be used where links are refused,
// or empty when it may: in a folder others can write (group or world write
// permission, or an owner the rule does not trust), a file whose owner the
// rule does not trust may have been put there by anyone.
inline std::string UntrustedOwnerReason(const std::string& path, const struct stat& st) {
    const TOwnerRule trusted = TrustedOwnerRule();
    if (trusted(st)) return {};
    struct stat folder {};
    if (::stat(FolderOf(path).c_str(), &folder) == 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
        trusted(folder))
        return {};
    return path + " belongs to user " + std::to_string(st.st_uid) + " in a folder others can write";
}

// Whether a socket lies at `path` (a link to one only where links are followed).
inline bool IsSocket(const std::string& path, LinkRule links) {
    struct stat st {};
    const int r = links == LinkRule::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    return r == 0 && S_ISSOCK(st.st_mode);
}

// A file opened for reading; the descriptor is closed with it.
class TReadableFile {
public:
    TReadableFile() = default;
    TReadableFile(TReadableFile&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), size_(other.size_), mode_(other.mode_),
          owner_(other.owner_), links_(other.links_), status_(other.status_), error_(std::move(other.error_)) {}
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
            // A socket cannot be opened at all (ENXIO): no file, no data.
            if (IsSocket(path, links)) return f.Fail(FileStatus::NotRegular, why + "a socket");
            return f.Fail(FileStatus::Failed, why + std::strerror(e));
        }
        f.fd_ = fd;
        struct stat st {};
        if (::fstat(fd, &st) != 0) return f.Fail(FileStatus::Failed, "Cannot read " + path + ": " + std::strerror(errno));
        if (!S_ISREG(st.st_mode)) return f.Fail(FileStatus::NotRegular, "Cannot read " + path + ": not a regular file");
        if (links == LinkRule::Refuse) {
            if (std::string why = UntrustedOwnerReason(path, st); !why.empty())
                return f.Fail(FileStatus::NotRegular, "Cannot read " + path + ": " + why);
        }
        f.size_ = static_cast<std::uint64_t>(st.st_size);
        f.mode_ = st.st_mode;
        f.owner_ = st.st_uid;
        f.links_ = static_cast<std::uint64_t>(st.st_nlink);
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
    uid_t Owner() const { return owner_; }
    // How many names the file has: more than one where a hard link was made.
    std::uint64_t LinkCount() const { return links_; }

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
    uid_t owner_ = 0;
    std::uint64_t links_ = 0;
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

    // Creates the new file under a unique name beside the target and locks
    // it. A name that a clean-up removed before the lock was taken is given
    // up for another one.
    bool Create(std::string* error = nullptr) {
        const auto slash = path_.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
        for (int attempt = 0; attempt < 16; ++attempt) {
            std::string temp = folder + "." + name + ".XXXXXX";
            fd_ = ::mkostemp(temp.data(), O_CLOEXEC);
            if (fd_ < 0) return Fail(error, "Cannot create a file beside");
            struct stat opened {}, named {};
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd_, &opened) == 0 &&
                ::lstat(temp.c_str(), &named) == 0 && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
                temp_ = std::move(temp);
                return true;
            }
            // Held or removed by a clean-up: that one removes the name.
            ::close(std::exchange(fd_, -1));
        }
        errno = EAGAIN;
        return Fail(error, "Cannot create a file beside");
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
    // file over the target; the lock goes with the descriptor after that.
    bool Commit(std::string* error = nullptr) {
        if (fd_ < 0) {
            errno = EBADF;
            return Fail(error, "Cannot write");
        }
        if (::fchmod(fd_, mode_) != 0) return Fail(error, "Cannot set the permissions of");
        if (::fsync(fd_) != 0) return Fail(error, "Cannot flush");
        if (::rename(temp_.c_str(), path_.c_str()) != 0) return Fail(error, "Cannot replace");
        temp_.clear();
        // The data is on disk under its name: closing cannot lose it.
        ::close(std::exchange(fd_, -1));
        return true;
    }

    // Removes the name while the lock is still held.
    void Discard() {
        if (!temp_.empty()) ::unlink(temp_.c_str());
        temp_.clear();
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
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
    if (!S_ISREG(st.st_mode)) return FileStatus::NotRegular;
    if (links == LinkRule::Refuse && !UntrustedOwnerReason(path, st).empty()) return FileStatus::NotRegular;
    return FileStatus::Ok;
}

// Whether `name` is one TReplacementFile gives its new files: "." + a name
// + "." + six letters or digits (mkstemp's).
inline bool IsTemporaryName(const std::string& name) {
    constexpr std::size_t kSuffix = 6;
    if (name.size() < 3 + kSuffix || name[0] != '.') return false;
    const std::size_t dot = name.size() - kSuffix - 1;
    if (name[dot] != '.') return false;
    for (std::size_t i = dot + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// Removes from `folder` the new files that writers killed mid-save left
// behind: names of TReplacementFile's form that are regular files of this
// user with one name and not locked by a writer still at work. Nothing
// else is touched, not even followed into. Returns how many went.
inline int RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const int dfd = ::dirfd(dir);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsTemporaryName(name)) continue;
        struct stat named {};
        if (::fstatat(dfd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
            named.st_uid != ::geteuid() || named.st_nlink != 1)
            continue;
        const int fd = ::openat(dfd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) continue;
        struct stat opened {};
        // The lock held while the name is still this file's: no writer has it.
        if (::fstat(fd, &opened) == 0 && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlinkat(dfd, name.c_str(), 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

// A write past the process's file size limit (RLIMIT_FSIZE) fails with
// EFBIG, a failed save like a full disk, instead of ending the process.
inline void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace qv::sys
