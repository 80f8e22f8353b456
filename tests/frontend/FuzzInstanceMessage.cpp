// The record another program sends over the local socket.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/system/InstanceMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::sys::TInstanceMessage m;
    std::size_t used = 0;
    const auto result = qv::sys::ParseInstanceMessage(data, size, m, used);
    if (result == qv::sys::TInstanceParse::Complete) {
        if (used > size || m.Data.size() > qv::sys::kMaxInstanceMessageData) std::abort();
        const auto again = qv::sys::EncodeInstanceMessage(m);
        if (again.size() != used) std::abort();
    }
    return 0;
}
