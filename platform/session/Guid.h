// The one GUID type of the program: session and application ids, duel race
// ids and lobby log-in keys.
//
// Two outside forms, which differ in the order of the first eight bytes:
// - wire bytes: Data1 as u32, Data2 and Data3 as u16, all little-endian,
//   then the 8 bytes of Data4 (the layout a GUID has in memory);
// - registry hex: Data1 as 8 hex digits, Data2 and Data3 as 4 each, then
//   Data4 as 16, upper case, without braces or dashes (32 characters).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace qv {

struct TGuid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend bool operator==(const TGuid&, const TGuid&) = default;

    bool IsNull() const { return *this == TGuid{}; }
    std::array<std::uint8_t, 16> ToWireBytes() const;
    static TGuid FromWireBytes(std::span<const std::uint8_t, 16> bytes);
    std::string ToRegistryHex32() const;
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", for log lines.
    std::string ToString() const;
};

// A new random (version 4) GUID from the kernel's random source. Throws
// qv::TGuidError when the source fails.
TGuid NewGuid();

class TGuidError : public std::exception {
public:
    const char* what() const noexcept override { return "The random source for a new GUID failed"; }
};

}  // namespace qv
