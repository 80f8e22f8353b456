// Input records: one 32-bit word per frame of a level, holding the frame's
// tick count and the state of the mouse and the keys, and the lists the
// logic consumes them from tick by tick.
//
// Record layout (bit numbers):
//   0-7   Ticks          10 ms ticks the record covers
//   8-17  MouseY         cursor height in the client area, masked to 10 bits
//   18-19 Direction      keyboard cannon: 0 none, 1 up, 2 down
//   24    Clicked        a mouse button went down since the previous record
//   25    Space          Space is held
//   26    TorpedoToggle  T newly pressed
//   27    SeekerToggle   R newly pressed
// The other bits are 0. A list is stored as an int32 count and the records,
// little-endian, in list order.
#pragma once

#include <cstdint>
#include <deque>

#include "foundation/BinaryIO.h"

namespace qv {

using TInputRecord = std::uint32_t;

inline constexpr std::uint32_t RecordTicks(TInputRecord r) { return r & 0xFFu; }
inline constexpr std::int32_t RecordMouseY(TInputRecord r) { return static_cast<std::int32_t>((r >> 8) & 0x3FFu); }
inline constexpr std::uint8_t RecordDirection(TInputRecord r) { return static_cast<std::uint8_t>((r >> 18) & 3u); }
inline constexpr bool RecordClicked(TInputRecord r) { return (r >> 24) & 1u; }
inline constexpr bool RecordSpace(TInputRecord r) { return (r >> 25) & 1u; }
inline constexpr bool RecordTorpedoToggle(TInputRecord r) { return (r >> 26) & 1u; }
inline constexpr bool RecordSeekerToggle(TInputRecord r) { return (r >> 27) & 1u; }

struct TInputToggles {
    bool Torpedo = false;
    bool Seeker = false;
};

// Packs the fields, each masked to its width (8, 10, 2, 1, 1 bits and one
// bit per toggle).
TInputRecord PackInputRecord(std::uint32_t ticks, std::int32_t mouseY, std::uint32_t direction, bool clicked,
                             bool space, TInputToggles toggles);

class TGameInput {
public:
    // Packs a record (see PackInputRecord), appends it with Add and returns it.
    TInputRecord AddSample(std::uint32_t ticks, std::int32_t mouseY, std::uint32_t direction, bool clicked,
                           bool space, TInputToggles toggles);
    // Appends a record: its ticks add to PendingTicks, and it sets HeadTicks
    // when the list was empty. A record covering no ticks would never be
    // taken, so it is dropped.
    void Add(TInputRecord record);
    // Empties the list; PendingTicks becomes 0, HeadTicks is left as it is.
    void Clear();

    // One tick of the first record. On the record's first tick its values
    // are delivered and the result is true; on its later ticks the result is
    // false and the outputs are left alone, as they are on an empty list.
    // After the record's last tick it is removed.
    bool NextTick(std::int32_t& mouseY, std::uint8_t& direction, bool& torpedoToggle, bool& seekerToggle,
                  bool& space, bool& clicked);

    // Replaces the list by one in stored form. Throws EBinaryError when the
    // data ends early and EDataError for a count that does not fit the data
    // or a record covering no ticks; the list is unchanged then.
    void ReadFromStream(TBinaryReader& in);
    void WriteToStream(TBinaryWriter& out) const;

    const std::deque<TInputRecord>& Records() const { return records_; }
    int Count() const { return static_cast<int>(records_.size()); }
    bool Empty() const { return records_.empty(); }
    // Ticks still to run of the first record.
    std::int32_t HeadTicks() const { return headTicks_; }
    // Ticks still to run of all records together.
    std::int32_t PendingTicks() const { return pendingTicks_; }

private:
    std::deque<TInputRecord> records_;
    std::int32_t headTicks_ = 0;
    std::int32_t pendingTicks_ = 0;
};

}  // namespace qv
