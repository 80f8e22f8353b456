// The settings file: the settings record enciphered behind a five-byte tag,
// loaded once at start, reset to the defaults when it cannot be used, and
// saved after every change of lasting value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/qv3Environment.h"

#include "platform/system/Files.h"

namespace qv {

inline constexpr const char* kSettingsFileName = "env.dat";
inline constexpr const char* kSettingsMagic = "zkq3e";
inline constexpr std::size_t kSettingsMagicSize = 5;
// The key text of the settings file's cipher; one fixed text for reading and writing.
inline constexpr const char* kSettingsKeyText = "xyn%&*#!&$^tartaru_gelados%*$mwpresoruimzvtaq";
// Tag + record, completed to whole cipher blocks: 4684 blocks of 8.
inline constexpr std::size_t kSettingsFileSize = (kSettingsMagicSize + TEnvironmentRecord::kSize + 7) / 8 * 8;
static_assert(kSettingsFileSize == 37472);
// Far above any settings file; only the first kSettingsFileSize bytes are used.
inline constexpr std::size_t kMaxSettingsFileSize = 1024 * 1024;

// What the settings operations ask of the rest of the program.
struct TSettingsHost {
    // Video memory in bytes; 0 when it cannot be measured (the default).
    std::function<std::uint64_t()> VideoMemory;
    // The current scenario slot; 1 until the resource manager exists (the default).
    std::function<int()> CurrentSlot;
};

// UserDataDir + "env.dat".
std::string SettingsFilePath();

// Reads the settings file at `path` into `record`. When the file is missing,
// foreign (wrong tag) or short, `record` gets the defaults, keeping the
// Country value read so far, and the next save rewrites it; nothing is
// shown or logged. A file that exists but cannot be read (permissions, an
// I/O error, not a regular file, larger than kMaxSettingsFileSize) also
// gives the defaults, but is left untouched: a Warning is logged and no
// save writes over it in this run (UntouchedSettingsFile).
// Returns whether the record came from the file.
bool LoadEnvironment(TEnvironmentRecord& record, const std::string& path, const TSettingsHost& host = {});

// Why the settings file at `path` was left untouched in this run, if it was.
std::optional<std::string> UntouchedSettingsFile(const std::string& path);

// Sets CurrentScenario to the current slot and replaces the file at `path`
// atomically (a temporary file beside it, renamed over it), readable by
// this user only. The bytes are taken now and written on the file layer's
// writer thread, in order with every other save (the caller never waits
// for the disk; reads of `path` through the file layer see them at once).
// On failure (also for a file left untouched) the old file stays as it
// was and a Warning "Unable to save environment file: " + the reason is
// logged; the returned write tells it too. `record` keeps its values.
sys::TPendingWrite SaveEnvironment(TEnvironmentRecord& record, const std::string& path,
                                   const TSettingsHost& host = {});

// The program-wide saver: Environment into SettingsFilePath(), with the
// host set by SetProgramSettingsHost (the defaults until then). Every part
// that changes a value of lasting worth calls it.
void SetProgramSettingsHost(TSettingsHost host);
sys::TPendingWrite SaveSettings();

// The whole enciphered file for `record`, exactly kSettingsFileSize bytes.
std::vector<std::uint8_t> EncodeSettingsFile(const TEnvironmentRecord& record);

}  // namespace qv
