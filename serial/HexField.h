// SPDX-License-Identifier: GPL-3.0-or-later
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

namespace hexfield_detail {
// The value of every byte as a hex digit, -1 where it is none.
inline constexpr auto kDigitValues = [] {
    struct Table {
        signed char v[256];
    } t{};
    for (int c = 0; c < 256; ++c)
        t.v[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                 : -1);
    return t;
}();
} // namespace hexfield_detail

// The value of one hex digit, or -1.
inline int HexDigitValue(char c) {
    return hexfield_detail::kDigitValues.v[static_cast<unsigned char>(c)];
}
