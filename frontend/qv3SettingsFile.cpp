#include "frontend/qv3SettingsFile.h"

#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>

#include "foundation/BinaryIO.h"
#include "foundation/Exceptions.h"
#include "foundation/qv3Cryptography.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "platform/system/Files.h"

namespace qv {

namespace {

std::uint64_t VideoMemoryOf(const TSettingsHost& host) { return host.VideoMemory ? host.VideoMemory() : 0; }

int CurrentSlotOf(const TSettingsHost& host) { return host.CurrentSlot ? host.CurrentSlot() : 1; }

// The settings file's cipher, set up once: its key never changes, and after
// the key set-up its block operations only read its tables.
TBlowfish& SettingsCipher() {
    static TBlowfish cipher(kSettingsKeyText);
    return cipher;
}

// Settings files found unreadable in this run: left untouched, never saved over.
std::mutex& UntouchedLock() {
    static std::mutex lock;
    return lock;
}
std::map<std::string, std::string>& UntouchedFiles() {
    static std::map<std::string, std::string> files;
    return files;
}

// The file's bytes. False with `problem` empty when it is missing (the
// defaults then), with `problem` set when it exists but cannot be read.
bool ReadSettingsBytes(const std::string& path, std::vector<std::uint8_t>& out, std::string& problem) {
    std::string error;
    switch (sys::ReadFile(path, sys::LinkRule::Follow, kMaxSettingsFileSize, out, &error)) {
        case sys::FileStatus::Ok:
            return true;
        case sys::FileStatus::Missing:
            return false;
        case sys::FileStatus::NotRegular:
            // A socket holds no settings: none there, and the save replaces it.
            if (sys::IsSocket(path, sys::LinkRule::Follow)) return false;
            [[fallthrough]];
        case sys::FileStatus::TooLarge:
        case sys::FileStatus::Failed:
            problem = error;
            return false;
    }
    return false;
}

}  // namespace

std::string SettingsFilePath() { return UserDataDir + kSettingsFileName; }

bool LoadEnvironment(TEnvironmentRecord& record, const std::string& path, const TSettingsHost& host) {
    try {
        std::vector<std::uint8_t> file;
        std::string problem;
        if (!ReadSettingsBytes(path, file, problem)) {
            if (!problem.empty()) {
                {
                    std::lock_guard guard(UntouchedLock());
                    UntouchedFiles()[path] = problem;
                }
                LogMessage("Settings file cannot be read, running on the default settings and leaving it "
                           "untouched: " + problem,
                           lkWarning);
            }
            throw Exception("Cannot open " + path);
        }
        TDecryptionStream stream(file, SettingsCipher());

        char magic[kSettingsMagicSize] = {};
        if (stream.Read(magic, sizeof magic) != sizeof magic ||
            std::memcmp(magic, kSettingsMagic, kSettingsMagicSize) != 0)
            throw Exception("Not a settings file");

        // Only whole blocks are delivered; a record that cannot arrive whole
        // is not deciphered beyond the Country, which is all a short record
        // leaves behind (it has replaced the front of the record, and the
        // defaults keep the Country).
        const std::size_t deliverable = file.size() / 8 * 8 - kSettingsMagicSize;
        if (deliverable < TEnvironmentRecord::kSize) {
            if (deliverable >= EnvironmentLayout::Country + 2) {
                std::uint8_t country[2] = {};
                stream.Seek(static_cast<std::int64_t>(kSettingsMagicSize + EnvironmentLayout::Country),
                            soFromBeginning);
                if (stream.Read(country, 2) == 2) record.Country = TBinaryReader(country, 2).ReadU16();
            }
            throw Exception("Size of environment file different from structure");
        }
        std::vector<std::uint8_t> bytes(TEnvironmentRecord::kSize);
        if (stream.Read(bytes.data(), bytes.size()) != bytes.size())
            throw Exception("Size of environment file different from structure");

        TEnvironmentRecord loaded;
        TBinaryReader r(bytes);
        const std::size_t clamped = loaded.Read(r);
        if (clamped > 0)
            LogMessage("Settings file: " + std::to_string(clamped) +
                           " text field(s) longer than their capacity were cut",
                       lkWarning);
        record = std::move(loaded);
        return true;
    } catch (const std::exception&) {
        record.SetDefaults(VideoMemoryOf(host), CurrentSlotOf(host));
        return false;
    }
}

std::optional<std::string> UntouchedSettingsFile(const std::string& path) {
    std::lock_guard guard(UntouchedLock());
    const auto& files = UntouchedFiles();
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
}

std::vector<std::uint8_t> EncodeSettingsFile(const TEnvironmentRecord& record) {
    const std::vector<std::uint8_t> body = record.ToBytes();
    TMemorySink sink;
    {
        TEncryptionStream stream(sink, SettingsCipher());
        stream.WriteBuffer(kSettingsMagic, kSettingsMagicSize);
        stream.WriteBuffer(body.data(), body.size());
        stream.Finish();
    }
    return sink.Take();
}

sys::TPendingWrite SaveEnvironment(TEnvironmentRecord& record, const std::string& path, const TSettingsHost& host) {
    std::string error;
    try {
        record.CurrentScenario = CurrentSlotOf(host);
        if (const auto problem = UntouchedSettingsFile(path)) {
            error = path + " could not be read at start and is left untouched";
        } else {
            const std::vector<std::uint8_t> data = EncodeSettingsFile(record);
            // It holds the player's e-mail address and log-in key.
            return sys::WriteFileLater(path, std::string(data.begin(), data.end()), sys::kPrivateFileMode,
                                       [](const std::string& why, bool) {
                                           LogMessage("Unable to save environment file: " + why, lkWarning);
                                       });
        }
    } catch (const std::exception& e) {
        error = e.what();
    }
    LogMessage("Unable to save environment file: " + error, lkWarning);
    return sys::TPendingWrite::Failed(error);
}

namespace {
TSettingsHost& ProgramSettingsHost() {
    static TSettingsHost host;
    return host;
}
}  // namespace

void SetProgramSettingsHost(TSettingsHost host) { ProgramSettingsHost() = std::move(host); }

sys::TPendingWrite SaveSettings() { return SaveEnvironment(Environment, SettingsFilePath(), ProgramSettingsHost()); }

}  // namespace qv
