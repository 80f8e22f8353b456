// Text helpers: line splitting, ASCII case folding, and the conversion
// between the Windows-1252 bytes kept in records and files and UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Splits at CR LF, LF or CR. A final line break adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// Without the control characters and blanks at either end.
std::string TrimText(std::string_view s);
// Whether `s` holds a NUL or another control byte (below 0x20, or 0x7F).
bool HasControlBytes(std::string_view s);

std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);
bool SameTextNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls.
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252. Characters the code page cannot hold, and
// malformed sequences, become `replacement`.
std::string Utf8ToCp1252(std::string_view utf8, char replacement = '?');

// One UTF-8 character decoded from the bytes at `at` (which must lie inside
// `s`). A byte that cannot start one, a cut sequence, an overlong form, a
// surrogate or a value beyond Unicode is malformed and takes one byte.
struct TUtf8Char {
    char32_t CodePoint = 0;
    std::size_t Length = 1;  // bytes taken
    bool WellFormed = false;
};
TUtf8Char DecodeUtf8At(std::string_view s, std::size_t at);

// Code point of one Windows-1252 byte, and the byte of a code point
// (-1 when the code page has none).
char32_t Cp1252ToCodePoint(unsigned char byte);
int CodePointToCp1252(char32_t cp);

// Eight upper-case hex digits, as result codes are written in the log.
std::string Hex8(std::uint32_t value);

// `pattern` with each "%s" in turn replaced by the next value, as the
// language texts take their values; "%s" inside a value stays as it is,
// and "%s" left over when the values run out too.
std::string FormatS(std::string pattern, const std::vector<std::string>& values);

}  // namespace qv
