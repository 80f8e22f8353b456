#include "game/logic/qv3ReplayPack.h"

#include <cstring>

#include "foundation/BinaryIO.h"
#include "foundation/qv3Cryptography.h"
#include "foundation/qv3Log.h"
#include "game/logic/qv3GameLogic.h"

namespace qv {

namespace {

// Thrown inside Read for a pack that is not one; logged once as a warning.
class EBadPack : public Exception {
public:
    using Exception::Exception;
};

const char* BoolText(bool value) { return value ? "True" : "False"; }

}  // namespace

// The cipher, set up once: its key never changes, and after the key set-up
// its block operations only read its tables.
static TBlowfish& ReplayPackCipher() {
    static TBlowfish cipher(kReplayPackKey);
    return cipher;
}

std::vector<std::uint8_t> EncipherReplayPack(std::span<const std::uint8_t> plain) {
    TBlowfish& cipher = ReplayPackCipher();
    return EncipherBytes(cipher, plain);
}

std::vector<std::uint8_t> DecipherReplayPack(std::span<const std::uint8_t> enciphered) {
    TBlowfish& cipher = ReplayPackCipher();
    return DecipherBytes(cipher, enciphered);
}

TReplayPack TReplayPack::FromStream(std::span<const std::uint8_t> data) {
    TReplayPack pack;
    pack.Read(data);
    return pack;
}

void TReplayPack::Read(std::span<const std::uint8_t> data) {
    Levels.clear();
    try {
        const auto plain = DecipherReplayPack(data);
        TBinaryReader in(plain);
        if (in.Remaining() < 5 || std::memcmp(in.ReadSpan(5).data(), kReplayPackMagic, 5) != 0)
            throw EBadPack("The replay file is invalid.");
        const std::int32_t count = in.ReadI32();
        if (count > 1) throw EBadPack("Excess levels on replay file.");
        if (count < 0) throw EBadPack("The replay file is invalid.");
        for (std::int32_t i = 1; i <= count; ++i) {
            if (in.ReadI32() != i) throw EBadPack("Invalid level id on replay file.");
            const std::int32_t size = in.ReadI32();
            if (size <= 0 || static_cast<std::uint64_t>(size) > in.Remaining())
                throw EBadPack("Invalid level size on replay file.");
            Levels.push_back(in.ReadBytes(static_cast<std::size_t>(size)));
        }
    } catch (const EBadPack& e) {
        LogMessage(e.what(), lkWarning);
        LogMessage("Unable to open replay file.", lkWarning);
        Levels.clear();
    } catch (const std::exception&) {
        LogMessage("Unable to open replay file.", lkWarning);
        Levels.clear();
    }
}

TReplayPack::TBytes TReplayPack::GetLevel(int n) const {
    if (n <= 0 || n > LevelCount()) throw EReplayPackError("Level doesn't exist in file");
    return Levels[static_cast<std::size_t>(n - 1)];
}

void TReplayPack::AddLevel(TGameLogic& logic) {
    AddLevel(logic.LevelNumber, logic.Finished, logic.Won, [&logic] { return logic.WriteRecord(); });
}

void TReplayPack::AddLevel(std::int32_t levelNumber, bool finished, bool won, const TRecordWriter& writeRecord) {
    if (levelNumber <= 0 || levelNumber > LevelCount() + 1) {
        throw EReplayPackError("Invalid level id: " + std::to_string(levelNumber) + "/" +
                               std::to_string(LevelCount()) + "/" + BoolText(finished) + "/" + BoolText(won));
    }
    try {
        Levels.resize(static_cast<std::size_t>(levelNumber - 1));
        Levels.push_back(writeRecord());
    } catch (const std::exception& e) {
        Levels.clear();
        const std::string error = std::string("Error adding replay: ") + e.what();
        LogMessage(error, lkWarning);
        throw EReplayPackError(error);
    }
}

TReplayPack::TBytes TReplayPack::ToStream() const {
    TBinaryWriter plain;
    plain.WriteString(std::string_view(kReplayPackMagic, 5));
    plain.WriteI32(LevelCount());
    for (std::size_t i = 0; i < Levels.size(); ++i) {
        plain.WriteI32(static_cast<std::int32_t>(i + 1));
        plain.WriteI32(static_cast<std::int32_t>(Levels[i].size()));
        plain.WriteBytes(Levels[i]);
    }
    return EncipherReplayPack(plain.Data());
}

}  // namespace qv
