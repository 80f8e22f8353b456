// File helpers over POSIX: whole-file reads, atomic replacement, removal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sys {

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadFileText(const std::string& path);
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);
// The same, refusing a file of more than `maxSize` bytes before reading it
// (and one that grows past it while being read). On failure `error` (when
// given) tells why: "Cannot open <path>: ...", "File <path> is too large
// (<n> bytes, at most <max>)" or "Cannot read <path>: ...".
std::optional<std::string> ReadFileText(const std::string& path, std::size_t maxSize, std::string* error = nullptr);
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxSize,
                                                       std::string* error = nullptr);

// Writes `path` + ".tmp", flushes it to disk and renames it over `path`.
// On failure the old file is left as it was, the temporary file removed,
// and the reason returned in `error` (when given). Returns success.
bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error = nullptr);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Removes a file; a missing file is no error. Returns whether it is gone.
bool RemoveFile(const std::string& path);
// Creates a folder with all missing parents. Returns whether it exists now.
bool CreateDirectories(const std::string& path);
// `path` with a trailing '/'.
std::string WithTrailingSlash(std::string path);

}  // namespace qv::sys
