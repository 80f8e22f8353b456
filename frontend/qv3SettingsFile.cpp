#include "frontend/qv3SettingsFile.h"

#include <cstring>
#include <exception>
#include <fstream>
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

// The first kSettingsFileSize bytes of the file at most: the reader never
// looks further, so a huge file costs nothing.
bool ReadSettingsBytes(const std::string& path, std::vector<std::uint8_t>& out) {
    if (!sys::FileExists(path)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.resize(kSettingsFileSize);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (in.bad()) return false;
    out.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

}  // namespace

std::string SettingsFilePath() { return UserDataDir + kSettingsFileName; }

bool LoadEnvironment(TEnvironmentRecord& record, const std::string& path, const TSettingsHost& host) {
    try {
        std::vector<std::uint8_t> file;
        if (!ReadSettingsBytes(path, file)) throw Exception("Cannot open " + path);
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

bool SaveEnvironment(TEnvironmentRecord& record, const std::string& path, const TSettingsHost& host) {
    std::string error;
    try {
        record.CurrentScenario = CurrentSlotOf(host);
        const std::vector<std::uint8_t> data = EncodeSettingsFile(record);
        const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
        if (sys::WriteFileAtomic(path, bytes, &error)) return true;
    } catch (const std::exception& e) {
        error = e.what();
    }
    LogMessage("Unable to save environment file: " + error, lkWarning);
    return false;
}

namespace {
TSettingsHost& ProgramSettingsHost() {
    static TSettingsHost host;
    return host;
}
}  // namespace

void SetProgramSettingsHost(TSettingsHost host) { ProgramSettingsHost() = std::move(host); }

bool SaveSettings() { return SaveEnvironment(Environment, SettingsFilePath(), ProgramSettingsHost()); }

}  // namespace qv
