// Hex fields of the transfer text: the byte count, each two-character pair of
// a data line, and the checksum are each read as one field:
//
//   [white space] [+|-] [0x|0X] hex digits (either case)
//
// Nothing may follow the digits. A field without digits is valid only when it
// is completely empty (value 0). Values beyond the 32-bit signed range
// saturate at 2147483647 or -2147483648.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

std::optional<std::int32_t> ParseHexField(std::string_view field);

// The value of one hex digit, or -1.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
