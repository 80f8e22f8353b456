// Any bytes from the network: decoding never reads past them, and a
// decoded start message's level lies inside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "multiplayer/qv3DuelMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto m = qv::duel::DecodeDuelMessage({data, size});
    if (m && m->Code == qv::duel::kMsgStart) {
        if (m->Level.size() + qv::duel::kStartHeaderSize != size) std::abort();
        const auto again = qv::duel::EncodeStart(m->RaceId, m->Level);
        if (!again || again->size() != size) std::abort();
    }
    return 0;
}
