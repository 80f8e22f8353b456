// The machine-wide key store: named string values under keys, kept in an
// INI file ("[key]" sections of "name=value" lines). Key and value names
// match without regard to case, as registry names do.
//
// It lies in the machine-wide folder, so a link or anything but a regular
// file there is treated as absent (a write replaces it with a new file).
// A file with more than one name (a hard link may join it to any file of
// the player's), or another user's where others can write, is not used:
// it reads as empty and is never written. A file of root's is read but not
// written; a rewrite keeps the old file's permissions. A file that exists
// but cannot be read (permissions, an I/O error, larger than any real key
// store) is left untouched: it reads as empty and, once seen so, is not
// written in this run.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qv::sys {

// The program's own key.
inline constexpr const char* kProgramKey = "HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex";
// The key store's file in the machine-wide data folder.
inline constexpr const char* kKeyStoreFileName = "registry.ini";
// A real key store holds a few short values; far larger is not one.
inline constexpr std::size_t kMaxKeyStoreSize = 64 * 1024;

// What the key store's file is like.
struct TKeyStoreCheck {
    enum class State {
        Usable,      // readable, or missing
        Absent,      // a link or not a regular file: treated as absent
        NotUsed,     // more than one name, or another user's: neither read nor written
        Untouched,   // exists but cannot be read: left untouched, not written this run
    };
    State state = State::Usable;
    std::string reason;  // for the log when not Usable
};

class TKeyStore {
public:
    explicit TKeyStore(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // The value, or nothing when the file, the key or the value is missing.
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) const;
    // Sets the value, creating the key and the file when missing; the file is
    // replaced atomically. Values may not hold line breaks. Returns success.
    // False without writing when the file was found unreadable in this run.
    bool WriteString(const std::string& key, const std::string& name, const std::string& value) const;

    // Reads the file as the readers do and says what it is like.
    TKeyStoreCheck Check() const;

private:
    std::string path_;
};

}  // namespace qv::sys
