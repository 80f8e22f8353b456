#include "platform/system/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/system/LaterWrites.h"

namespace qv::sys {

namespace {

std::mutex& FaultLock() {
    static std::mutex lock;
    return lock;
}
std::map<std::string, int>& InjectedReadErrors() {
    static std::map<std::string, int> errors;
    return errors;
}
int InjectedReadError(const std::string& path) {
    std::lock_guard guard(FaultLock());
    const auto& errors = InjectedReadErrors();
    const auto it = errors.find(path);
    return it == errors.end() ? 0 : it->second;
}

template <typename Container>
FileStatus ReadOpened(const TReadableFile& file, const std::string& path, std::size_t maxSize, Container& out,
                      std::string* error) {
    auto fail = [&](FileStatus status, std::string why) {
        if (error) *error = std::move(why);
        return status;
    };
    auto tooLarge = [&](std::uint64_t size) {
        return fail(FileStatus::TooLarge, "File " + path + " is too large (" + std::to_string(size) +
                                              " bytes, at most " + std::to_string(maxSize) + ")");
    };
    if (file.Status() != FileStatus::Ok) return fail(file.Status(), file.Error());
    if (const int injected = InjectedReadError(path))
        return fail(FileStatus::Failed, "Cannot read " + path + ": " + std::strerror(injected));
    Container data;
    // Room for the stated size only within the caller's cap: a file of no
    // cap is read as it comes.
    if (maxSize != static_cast<std::size_t>(-1)) data.reserve(static_cast<std::size_t>(file.Size()));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(file.Fd(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(FileStatus::Failed, "Cannot read " + path + ": " + std::strerror(errno));
        }
        if (n == 0) break;
        // The file may grow while it is read.
        if (static_cast<std::size_t>(n) > maxSize - data.size()) return tooLarge(data.size() + static_cast<std::size_t>(n));
        data.insert(data.end(), buf, buf + n);
    }
    out = std::move(data);
    return FileStatus::Ok;
}

template <typename Container>
FileStatus ReadWhole(const std::string& path, LinkRule links, std::size_t maxSize, Container& out,
                     std::string* error) {
    // What the writer thread still has to write is what the file holds.
    if (const later::TQueuedState queued = later::QueuedState(path); queued.Queued) {
        if (!queued.Data) {
            if (error) *error = "Cannot open " + path + ": " + std::strerror(ENOENT);
            return FileStatus::Missing;
        }
        if (queued.Data->size() > maxSize) {
            if (error)
                *error = "File " + path + " is too large (" + std::to_string(queued.Data->size()) +
                         " bytes, at most " + std::to_string(maxSize) + ")";
            return FileStatus::TooLarge;
        }
        out.assign(queued.Data->begin(), queued.Data->end());
        return FileStatus::Ok;
    }
    return ReadOpened(TReadableFile::Open(path, links, maxSize), path, maxSize, out, error);
}

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

template <typename Container>
std::optional<Container> ReadOrNothing(const std::string& path, std::size_t maxSize, std::string* error) {
    Container out;
    if (ReadWhole(path, LinkRule::Follow, maxSize, out, error) != FileStatus::Ok) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::string> ReadFileText(const std::string& path) { return ReadOrNothing<std::string>(path, kNoLimit, nullptr); }

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
    return ReadOrNothing<std::vector<std::uint8_t>>(path, kNoLimit, nullptr);
}

std::optional<std::string> ReadFileText(const std::string& path, std::size_t maxSize, std::string* error) {
    return ReadOrNothing<std::string>(path, maxSize, error);
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxSize,
                                                       std::string* error) {
    return ReadOrNothing<std::vector<std::uint8_t>>(path, maxSize, error);
}

FileStatus ReadFile(const std::string& path, LinkRule links, std::size_t maxSize, std::string& out,
                    std::string* error) {
    return ReadWhole(path, links, maxSize, out, error);
}

FileStatus ReadFile(const std::string& path, LinkRule links, std::size_t maxSize, std::vector<std::uint8_t>& out,
                    std::string* error) {
    return ReadWhole(path, links, maxSize, out, error);
}

FileStatus ReadOpenedFile(const TReadableFile& file, const std::string& path, std::size_t maxSize, std::string& out,
                          std::string* error) {
    return ReadOpened(file, path, maxSize, out, error);
}

bool AppendToFile(const std::string& path, std::string_view data, LinkRule links, mode_t createMode,
                  std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = "Cannot append to " + path + ": " + why;
        return false;
    };
    int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == LinkRule::Refuse) flags |= O_NOFOLLOW;
    if (createMode != 0) flags |= O_CREAT;
    const int fd = ::open(path.c_str(), flags, createMode);
    if (fd < 0) {
        const int e = errno;
        if (e == ELOOP && links == LinkRule::Refuse) return fail("a link");
        // ENXIO: a FIFO nobody reads, or a socket.
        return fail(std::strerror(e));
    }
    struct ClosedAtEnd {
        int fd;
        ~ClosedAtEnd() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return fail("not a regular file");
    if (links == LinkRule::Refuse) {
        if (st.st_nlink != 1) return fail("it has more than one name");
        if (std::string why = UntrustedOwnerReason(path, st); !why.empty()) return fail(why);
    }
    if (!WriteAllTo(fd, data.data(), data.size())) return fail(std::strerror(errno));
    return true;
}

bool RestrictToOwner(const std::string& path) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    const bool own = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() &&
                     (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink == 1));
    const bool changed = own && (st.st_mode & 077) != 0 && ::fchmod(fd, st.st_mode & 0700) == 0;
    ::close(fd);
    return changed;
}

void InjectReadErrorForTesting(const std::string& path, int error) {
    std::lock_guard guard(FaultLock());
    if (error) InjectedReadErrors()[path] = error;
    else InjectedReadErrors().erase(path);
}

bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error, mode_t mode) {
    if (const auto behind = later::WriteBehindQueued(path, data, mode, error)) return *behind;
    TReplacementFile file(path, mode);
    if (!file.Create(error) || !file.Write(data.data(), data.size(), error)) return false;
    later::BeforeFlush(path);
    return file.Commit(error);
}

bool FileExists(const std::string& path) {
    if (const later::TQueuedState queued = later::QueuedState(path); queued.Queued) return queued.Data != nullptr;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {
bool RemoveNow(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }
}  // namespace

bool RemoveFile(const std::string& path) { return later::Remove(path, RemoveNow); }

bool CreateDirectories(const std::string& path, mode_t mode) {
    if (path.empty()) return false;
    std::string partial;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t next = path.find('/', i);
        if (next == std::string::npos) next = path.size();
        partial = path.substr(0, next);
        if (!partial.empty() && !DirectoryExists(partial)) {
            if (::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) return false;
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
