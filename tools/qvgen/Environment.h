// The scenarios' environment files: theme values, the package checksum,
// the font widths of the pictures and the sizes of the decoded music.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qv::gen {

// The sum the program checks a scenario by: every byte of the level, then
// of the scenery, then the four little-endian bytes of the slot number,
// modulo 2^32, read as a signed 32-bit number.
std::int32_t MovementOf(std::span<const std::uint8_t> level, std::span<const std::uint8_t> scenery, std::int32_t number);

// The text of a slot's "environment.txt" (CR LF lines).
std::string MakeEnvironment(int slot, const std::vector<int>& fontWidths, std::span<const std::uint8_t> level,
                            std::span<const std::uint8_t> scenery,
                            const std::vector<std::pair<std::string, std::int64_t>>& musicSizes);

}  // namespace qv::gen
