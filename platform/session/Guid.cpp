#include "platform/session/Guid.h"

#include <cerrno>
#include <cstdio>
#include <sys/random.h>

namespace qv {

std::array<std::uint8_t, 16> TGuid::ToWireBytes() const {
    std::array<std::uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(Data1 >> (8 * i));
    b[4] = static_cast<std::uint8_t>(Data2);
    b[5] = static_cast<std::uint8_t>(Data2 >> 8);
    b[6] = static_cast<std::uint8_t>(Data3);
    b[7] = static_cast<std::uint8_t>(Data3 >> 8);
    for (int i = 0; i < 8; ++i) b[8 + i] = Data4[i];
    return b;
}

TGuid TGuid::FromWireBytes(std::span<const std::uint8_t, 16> b) {
    TGuid g;
    g.Data1 = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
    g.Data2 = static_cast<std::uint16_t>(b[4] | b[5] << 8);
    g.Data3 = static_cast<std::uint16_t>(b[6] | b[7] << 8);
    for (int i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
    return g;
}

std::string TGuid::ToRegistryHex32() const {
    char text[40];
    std::snprintf(text, sizeof text, "%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", Data1, unsigned{Data2},
                  unsigned{Data3}, Data4[0], Data4[1], Data4[2], Data4[3], Data4[4], Data4[5], Data4[6], Data4[7]);
    return text;
}

std::string TGuid::ToString() const {
    const std::string h = ToRegistryHex32();
    return "{" + h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) + "-" +
           h.substr(20) + "}";
}

TGuid NewGuid() {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = getrandom(bytes.data() + got, bytes.size() - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw TGuidError();
        }
        got += static_cast<std::size_t>(n);
    }
    TGuid g = TGuid::FromWireBytes(bytes);
    g.Data3 = static_cast<std::uint16_t>((g.Data3 & 0x0FFF) | 0x4000);  // version 4
    g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3F) | 0x80);  // RFC 4122 variant
    return g;
}

}  // namespace qv
