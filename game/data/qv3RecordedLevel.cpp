#include "game/data/qv3RecordedLevel.h"

#include <cstring>

#include "foundation/qv3Cryptography.h"
#include "game/data/qv3DataError.h"

namespace qv {

const char* const kLevelStreamKey = "kQzW!vRx#pLm@TnYs*bHj%dFg&cKe?aUo+wZi=qXr^uMl~yNt;oPs<";

std::vector<std::uint8_t> RecordedLevelContent(const TRecordedLevelHeader& header, const TGameInput& input,
                                               std::span<const std::uint16_t> words) {
    TBinaryWriter out;
    out.WriteString(kRecordedLevelMagic);
    out.WriteI32(header.EndTime);
    out.WriteI32(header.LevelNumber);
    out.WriteI32(header.StartScore);
    input.WriteToStream(out);
    out.WriteI32(static_cast<std::int32_t>(words.size()));
    for (std::uint16_t w : words) out.WriteU16(w);
    return out.Take();
}

// The cipher, set up once: its key never changes, and after the key set-up
// its block operations only read its tables.
static TBlowfish& LevelStreamCipher() {
    static TBlowfish cipher(kLevelStreamKey);
    return cipher;
}

std::vector<std::uint8_t> EncipherLevelStream(std::span<const std::uint8_t> plain) {
    TBlowfish& cipher = LevelStreamCipher();
    return EncipherBytes(cipher, plain);
}

std::vector<std::uint8_t> DecipherLevelStream(std::span<const std::uint8_t> enciphered) {
    TBlowfish& cipher = LevelStreamCipher();
    return DecipherBytes(cipher, enciphered);
}

std::vector<std::uint8_t> WriteRecordedLevel(const TRecordedLevelHeader& header, const TGameInput& input,
                                             std::span<const std::uint16_t> words) {
    return EncipherLevelStream(RecordedLevelContent(header, input, words));
}

TRecordedLevelReader::TRecordedLevelReader(std::span<const std::uint8_t> enciphered)
    : plain_(DecipherLevelStream(enciphered)) {
    TBinaryReader in(plain_);
    if (in.Remaining() < 5 || std::memcmp(in.ReadSpan(5).data(), kRecordedLevelMagic, 5) != 0)
        throw EDataError("Invalid recorded game data file");
    header_.EndTime = in.ReadI32();
    header_.LevelNumber = in.ReadI32();
    header_.StartScore = in.ReadI32();
    input_.ReadFromStream(in);
    words_ = TBinaryReader(plain_);
    words_.Seek(in.Position());
}

}  // namespace qv
