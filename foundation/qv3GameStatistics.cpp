#include "foundation/qv3GameStatistics.h"

namespace qv {

void TGameStatistics::Write(TBinaryWriter& w) const {
    w.WriteI16(LevelsWon);
    w.WriteI16(GroupBonuses);
    w.WriteI16(CondomsFired);
    w.WriteI16(TorpedoesFired);
    for (std::int16_t v : EarlyCatches) w.WriteI16(v);
    for (std::int16_t v : Catches) w.WriteI16(v);
}

void TGameStatistics::Read(TBinaryReader& r) {
    r.Require(kSize);
    LevelsWon = r.ReadI16();
    GroupBonuses = r.ReadI16();
    CondomsFired = r.ReadI16();
    TorpedoesFired = r.ReadI16();
    for (std::int16_t& v : EarlyCatches) v = r.ReadI16();
    for (std::int16_t& v : Catches) v = r.ReadI16();
}

}  // namespace qv
