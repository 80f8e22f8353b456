// The machine-wide key store: named string values under keys, kept in an
// INI file ("[key]" sections of "name=value" lines). Key and value names
// match without regard to case, as registry names do.
#pragma once

#include <optional>
#include <string>

namespace qv::sys {

// The program's own key.
inline constexpr const char* kProgramKey = "HKEY_LOCAL_MACHINE\\Software\\Tollbeck\\Quorvex";
// The key store's file in the machine-wide data folder.
inline constexpr const char* kKeyStoreFileName = "registry.ini";

class TKeyStore {
public:
    explicit TKeyStore(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // The value, or nothing when the file, the key or the value is missing.
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) const;
    // Sets the value, creating the key and the file when missing; the file is
    // replaced atomically. Values may not hold line breaks. Returns success.
    bool WriteString(const std::string& key, const std::string& name, const std::string& value) const;

private:
    std::string path_;
};

}  // namespace qv::sys
