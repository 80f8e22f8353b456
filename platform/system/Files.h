// The file layer: every whole-file read and every file the program writes
// goes through here (the rules are in FileCore.h). Removal and folders too.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/FileCore.h"

namespace qv::sys {

// The whole file, or nothing when it cannot be opened or read, or is not a
// regular file (links are followed). No cap: for tests and tools only; the
// programs read with the cap of the overloads below.
std::optional<std::string> ReadFileText(const std::string& path);
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);
// The same, refusing a file of more than `maxSize` bytes before reading it
// (and one that grows past it while being read). On failure `error` (when
// given) tells why: "Cannot open <path>: ...", "File <path> is too large
// (<n> bytes, at most <max>)" or "Cannot read <path>: ...".
std::optional<std::string> ReadFileText(const std::string& path, std::size_t maxSize, std::string* error = nullptr);
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxSize,
                                                       std::string* error = nullptr);

// The whole file into `out`, with the folder's link rule and the caller's
// size cap; the status says what stood in the way, `error` (when given) why.
FileStatus ReadFile(const std::string& path, LinkRule links, std::size_t maxSize, std::string& out,
                    std::string* error = nullptr);
FileStatus ReadFile(const std::string& path, LinkRule links, std::size_t maxSize, std::vector<std::uint8_t>& out,
                    std::string* error = nullptr);

// The rest of `file`, opened from `path`, into `out`: as ReadFile once the
// file is open (the caller may check more of it first).
FileStatus ReadOpenedFile(const TReadableFile& file, const std::string& path, std::size_t maxSize, std::string& out,
                          std::string* error = nullptr);

// Appends `data` in one write to the regular file at `path`, opened as
// `links` says and checked as a read would be (never a FIFO or a device,
// never blocking); where links are refused, never a file with more than one
// name either. With `createMode` not 0 a missing file is made with it
// first; otherwise a missing file stays missing. Returns success.
bool AppendToFile(const std::string& path, std::string_view data, LinkRule links, mode_t createMode = 0,
                  std::string* error = nullptr);

// Takes the group's and others' permissions away from the folder or
// regular file at `path` when it is this user's own and no link (a file
// only with one name); anything else is left alone. Returns whether it was
// changed.
bool RestrictToOwner(const std::string& path);

// Writes a new file beside `path` under a unique name, flushes it to disk
// and renames it over `path` (TReplacementFile); `mode` is its permissions.
// On failure the old file is left as it was, the new one removed, and the
// reason returned in `error` (when given). Returns success.
bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error = nullptr,
                     mode_t mode = 0644);

// The end of a write handed to WriteFileLater.
class TPendingWrite {
public:
    struct TState;
    TPendingWrite() = default;
    explicit TPendingWrite(std::shared_ptr<TState> state) : state_(std::move(state)) {}
    // A write that was not handed over, for the reason `error`.
    static TPendingWrite Failed(std::string error);
    // Waits until the write is done; whether it succeeded (`error`, when
    // given, tells why not).
    bool Wait(std::string* error = nullptr) const;
    bool Done() const;

private:
    std::shared_ptr<TState> state_;
};

// How a write handed to WriteFileLater tells that it failed: the reason, and
// whether a later write or removal of the same path is already queued (the
// failed one then no longer matters). Runs on the writer thread.
using TWriteFailure = std::function<void(const std::string& error, bool superseded)>;

// Writes `data` as WriteFileAtomic does, but on the file layer's writer
// thread, after every write and removal handed to it before; returns at
// once. Until it is done, reads, FileExists and RemoveFile of `path` through
// this layer answer as if it were, and a direct write of `path` waits for
// it. On failure the old file is left as it was and `onFailure` is called.
TPendingWrite WriteFileLater(const std::string& path, std::string data, mode_t mode = 0644,
                             TWriteFailure onFailure = {});

// Waits until everything handed to the writer thread is written (the end of
// a program; a test that looks at the disk itself).
void FinishPendingWrites();

// Tests only: `flush` runs just before each new file of a write is flushed
// to disk, on the thread that writes it (a test makes the disk slow, as a
// busy one is); an empty function stops it.
void InjectFlushForTesting(std::function<void(const std::string& path)> flush);

// Tests only: reads of `path` through this layer fail with `error` (an errno
// value) once opened, as a disk error would; 0 stops it. A test running as
// root cannot make a file unreadable otherwise.
void InjectReadErrorForTesting(const std::string& path, int error);

// Whether a regular file is at `path` (or a queued write will put one there).
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Removes a file; a missing file is no error. Returns whether it is gone.
// Where writes of `path` are queued, the removal is queued behind them.
bool RemoveFile(const std::string& path);
// Creates a folder with all missing parents, each made with `mode`.
// Returns whether it exists now.
bool CreateDirectories(const std::string& path, mode_t mode = 0755);
// `path` with a trailing '/'.
std::string WithTrailingSlash(std::string path);

}  // namespace qv::sys
