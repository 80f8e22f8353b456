#include "game/data/qv3Input.h"

#include <limits>
#include <utility>

#include "game/data/qv3DataError.h"

namespace qv {

TInputRecord PackInputRecord(std::uint32_t ticks, std::int32_t mouseY, std::uint32_t direction, bool clicked,
                             bool space, TInputToggles toggles) {
    return (ticks & 0xFFu) | ((static_cast<std::uint32_t>(mouseY) & 0x3FFu) << 8) | ((direction & 3u) << 18) |
           (static_cast<std::uint32_t>(clicked) << 24) | (static_cast<std::uint32_t>(space) << 25) |
           (static_cast<std::uint32_t>(toggles.Torpedo) << 26) | (static_cast<std::uint32_t>(toggles.Seeker) << 27);
}

TInputRecord TGameInput::AddSample(std::uint32_t ticks, std::int32_t mouseY, std::uint32_t direction, bool clicked,
                                   bool space, TInputToggles toggles) {
    const TInputRecord record = PackInputRecord(ticks, mouseY, direction, clicked, space, toggles);
    Add(record);
    return record;
}

void TGameInput::Add(TInputRecord record) {
    const auto ticks = static_cast<std::int32_t>(RecordTicks(record));
    if (ticks == 0) return;
    if (pendingTicks_ > std::numeric_limits<std::int32_t>::max() - ticks) return;  // far beyond any level
    if (records_.empty()) headTicks_ = ticks;
    pendingTicks_ += ticks;
    records_.push_back(record);
}

void TGameInput::Clear() {
    records_.clear();
    pendingTicks_ = 0;
}

bool TGameInput::NextTick(std::int32_t& mouseY, std::uint8_t& direction, bool& torpedoToggle, bool& seekerToggle,
                          bool& space, bool& clicked) {
    if (records_.empty()) return false;
    const TInputRecord record = records_.front();
    const bool deliver = headTicks_ == static_cast<std::int32_t>(RecordTicks(record));
    if (deliver) {
        mouseY = RecordMouseY(record);
        direction = RecordDirection(record);
        torpedoToggle = RecordTorpedoToggle(record);
        seekerToggle = RecordSeekerToggle(record);
        space = RecordSpace(record);
        clicked = RecordClicked(record);
    }
    --headTicks_;
    --pendingTicks_;
    if (headTicks_ <= 0) {
        records_.pop_front();
        headTicks_ = records_.empty() ? 0 : static_cast<std::int32_t>(RecordTicks(records_.front()));
    }
    return deliver;
}

void TGameInput::ReadFromStream(TBinaryReader& in) {
    const std::int32_t count = in.ReadI32();
    if (count < 0 || static_cast<std::uint64_t>(count) > in.Remaining() / 4)
        throw EDataError("Invalid input record count " + std::to_string(count));
    std::deque<TInputRecord> records;
    std::int64_t pending = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const TInputRecord record = in.ReadU32();
        // A record that covers no ticks would never leave the list and stall
        // every later input.
        if (RecordTicks(record) == 0) throw EDataError("Input record " + std::to_string(i) + " covers no ticks");
        pending += RecordTicks(record);
        records.push_back(record);
    }
    if (pending > std::numeric_limits<std::int32_t>::max()) throw EDataError("Input records cover too many ticks");
    records_ = std::move(records);
    pendingTicks_ = static_cast<std::int32_t>(pending);
    if (!records_.empty()) headTicks_ = static_cast<std::int32_t>(RecordTicks(records_.front()));
}

void TGameInput::WriteToStream(TBinaryWriter& out) const {
    out.WriteI32(static_cast<std::int32_t>(records_.size()));
    for (TInputRecord r : records_) out.WriteU32(r);
}

}  // namespace qv
