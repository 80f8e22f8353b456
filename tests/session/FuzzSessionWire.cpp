// The session layer's decoders of outside bytes: enumeration datagrams and
// session messages.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/session/SessionWire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qv::dpn::wire;
    const std::span<const std::uint8_t> d(data, size);
    (void)IsEnumDatagram(d);
    if (auto q = DecodeEnumQuery(d)) (void)EncodeEnumQuery(*q);
    if (auto r = DecodeEnumResponse(d)) (void)EncodeEnumResponse(*r);
    if (auto c = DecodeConnectRequest(d)) (void)EncodeConnectRequest(*c);
    if (auto c = DecodeConnectReply(d)) (void)EncodeConnectReply(*c);
    (void)DecodeTerminate(d);
    return 0;
}
