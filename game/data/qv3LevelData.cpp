#include "game/data/qv3LevelData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "game/data/qv3CreatureTypes.h"
#include "game/data/qv3DataError.h"

namespace qv {

namespace {

// More entries than any level needs; the data must hold them as well.
constexpr std::size_t kMaxLevelEntries = 1000000;

// Truncates toward zero; a value outside int32 (or not finite) is bad data.
std::int32_t TruncChecked(double value, const char* what, std::size_t entry) {
    if (!(value > -2147483649.0 && value < 2147483648.0))
        throw EDataError(std::string("Level entry ") + std::to_string(entry) + ": " + what + " out of range");
    return static_cast<std::int32_t>(value);
}

void CheckFinite(float value, const char* what, std::size_t entry) {
    if (!std::isfinite(value))
        throw EDataError(std::string("Level entry ") + std::to_string(entry) + ": " + what + " is not a number");
}

TLevelEntry ReadEntry(TBinaryReader& in) {
    TLevelEntry e;
    e.CreatureType = in.ReadU8();
    e.HeightFromWord = in.ReadU8();
    in.Skip(2);
    e.HeightFraction = in.ReadF32();
    e.SpeedFraction = in.ReadF32();
    e.Probability = in.ReadF32();
    e.SpreadFraction = in.ReadF32();
    e.Wobble = in.ReadF32();
    e.BasePosition = in.ReadI32();
    e.GroupId = in.ReadI16();
    e.Variant = in.ReadU8();
    in.Skip(5);
    e.Direction = in.ReadF32();
    e.TargetDirection = in.ReadF32();
    e.TurnDistance = in.ReadI32();
    return e;
}

void CheckEntry(const TLevelEntry& e, std::size_t index) {
    if (!IsCreatureType(e.CreatureType))
        throw EDataError("Level entry " + std::to_string(index) + ": invalid creature type " +
                         std::to_string(e.CreatureType));
    if (e.GroupId < -1)
        throw EDataError("Level entry " + std::to_string(index) + ": invalid group id " + std::to_string(e.GroupId));
    CheckFinite(e.HeightFraction, "height fraction", index);
    CheckFinite(e.SpeedFraction, "speed fraction", index);
    CheckFinite(e.Probability, "probability", index);
    CheckFinite(e.SpreadFraction, "spread fraction", index);
    CheckFinite(e.Wobble, "wobble", index);
    CheckFinite(e.Direction, "direction", index);
    CheckFinite(e.TargetDirection, "target direction", index);
}

TLevelItem MakeItem(const TLevelEntry& e, std::uint16_t word, std::size_t index) {
    const TCreatureTypeInfo& type = CreatureTypes[e.CreatureType];
    const std::uint32_t a = (word >> 1) & 0x7Fu;
    const std::uint32_t b = (word >> 8) & 0x7Fu;
    TLevelItem item;
    item.CreatureType = e.CreatureType;
    // Computed in double from the stored floats, then stored: the same
    // result on every IEEE machine.
    const double speed = static_cast<double>(type.SpeedBase) +
                         static_cast<double>(e.SpeedFraction) * static_cast<double>(type.SpeedFactor);
    item.Speed = static_cast<float>(speed);
    if (!std::isfinite(item.Speed)) throw EDataError("Level entry " + std::to_string(index) + ": speed out of range");
    item.Wobble = e.Wobble;
    const double f = e.HeightFromWord != 0 ? static_cast<double>(a) / 128.0 : static_cast<double>(e.HeightFraction);
    item.Height = TruncChecked(static_cast<double>(type.YBase) + f * static_cast<double>(type.YRange), "height", index);
    item.Position = TruncChecked(static_cast<double>(b) / 128.0 * static_cast<double>(e.SpreadFraction) *
                                         static_cast<double>(type.TimeSpread) +
                                     static_cast<double>(e.BasePosition),
                                 "position", index);
    item.GroupId = e.GroupId;
    item.Variant = e.Variant;
    item.Direction = e.Direction;
    item.TargetDirection = e.TargetDirection;
    item.TurnDistance = e.TurnDistance;
    return item;
}

}  // namespace

std::vector<std::uint8_t> WriteLevelData(const TLevelFile& level) {
    TBinaryWriter out;
    out.WriteString(kLevelDataMagic);
    out.WriteI32(level.HeaderValue);
    out.WriteBytes(level.HeaderBytes.data(), level.HeaderBytes.size());
    out.WriteI32(level.SceneryNumber);
    out.WriteI32(static_cast<std::int32_t>(level.Entries.size()));
    for (const TLevelEntry& e : level.Entries) {
        out.WriteU8(e.CreatureType);
        out.WriteU8(e.HeightFromWord);
        out.WriteZeros(2);
        out.WriteF32(e.HeightFraction);
        out.WriteF32(e.SpeedFraction);
        out.WriteF32(e.Probability);
        out.WriteF32(e.SpreadFraction);
        out.WriteF32(e.Wobble);
        out.WriteI32(e.BasePosition);
        out.WriteI16(e.GroupId);
        out.WriteU8(e.Variant);
        out.WriteZeros(5);
        out.WriteF32(e.Direction);
        out.WriteF32(e.TargetDirection);
        out.WriteI32(e.TurnDistance);
    }
    return out.Take();
}

TLevelDataReader::TLevelDataReader(std::span<const std::uint8_t> levelData, TBinaryReader* recorded,
                                   IRandomSource* random) {
    TBinaryReader in(levelData);
    if (in.Remaining() < 5 || std::memcmp(in.ReadSpan(5).data(), kLevelDataMagic, 5) != 0)
        throw EDataError("Invalid level data file");
    headerValue_ = in.ReadI32();
    in.ReadBytes(headerBytes_.data(), headerBytes_.size());
    sceneryNumber_ = in.ReadI32();
    const std::int32_t n = in.ReadI32();
    if (n < 0) throw EDataError("Invalid level data file: entry count " + std::to_string(n));
    const std::size_t count = in.CheckCount(static_cast<std::uint64_t>(n), kLevelEntrySize, kMaxLevelEntries);

    if (recorded) {
        const std::int32_t m = recorded->ReadI32();
        if (m != n) throw EDataError("Generated level data count different from level count");
    } else if (!random) {
        throw EDataError("Level data needs a random source or recorded generation words");
    }

    words_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const TLevelEntry entry = ReadEntry(in);
        CheckEntry(entry, i);
        std::uint16_t word = 0;
        if (recorded) {
            word = recorded->ReadU16();
        } else {
            const double r = random->Uniform();
            const std::uint32_t a = random->Below(128);
            const std::uint32_t b = random->Below(128);
            word = GenerationWord(r <= static_cast<double>(entry.Probability), a, b);
        }
        words_.push_back(word);
        if (word & 1u) items_.push_back(MakeItem(entry, word, i));
    }
    // Items of equal position keep file order: that order decides sprite ids
    // and which of two overlapping creatures is caught, on every machine.
    std::stable_sort(items_.begin(), items_.end(),
                     [](const TLevelItem& x, const TLevelItem& y) { return x.Position < y.Position; });
    CountGroups();
}

void TLevelDataReader::CountGroups() {
    groups_.clear();
    for (const TLevelItem& item : items_) {
        if (item.GroupId < 0) continue;
        const auto id = static_cast<std::size_t>(item.GroupId);
        if (groups_.size() <= id) groups_.resize(id + 1, 0);
        ++groups_[id];
    }
}

TItemRange TLevelDataReader::Advance(float distance) {
    distance_ += distance;
    TItemRange range;
    range.First = nextIndex_;
    const auto count = static_cast<std::int32_t>(items_.size());
    while (nextIndex_ < count &&
           static_cast<double>(items_[static_cast<std::size_t>(nextIndex_)].Position) <= static_cast<double>(distance_))
        ++nextIndex_;
    range.Last = nextIndex_ - 1;
    if (!range.Empty() && nextIndex_ == count) allHandedOut_ = true;
    return range;
}

const TLevelItem& TLevelDataReader::Item(int index) const {
    if (index < 0 || index >= Count()) throw EListError("Index out of bounds");
    return items_[static_cast<std::size_t>(index)];
}

bool TLevelDataReader::GroupCaught(std::int32_t groupId) {
    if (groupId < 0 || static_cast<std::size_t>(groupId) >= groups_.size()) return false;
    std::int32_t& counter = groups_[static_cast<std::size_t>(groupId)];
    --counter;
    return counter == 0;
}

void TLevelDataReader::Restart() {
    distance_ = 0;
    nextIndex_ = 0;
    allHandedOut_ = false;
    CountGroups();
}

void TLevelDataReader::WriteGenerationWords(TBinaryWriter& out) const {
    out.WriteI32(static_cast<std::int32_t>(words_.size()));
    for (std::uint16_t w : words_) out.WriteU16(w);
}

}  // namespace qv
