// SPDX-License-Identifier: GPL-3.0-or-later
// Comparing the program's own 7-bit texts (file extensions, transfer
// headers) without regard to letter case. Only A-Z and a-z are folded: bytes
// beyond ASCII, such as Shift-JIS or UTF-8 names, compare as they are.
#pragma once

#include <string_view>

inline constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

inline constexpr bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           EqualsIgnoringAsciiCase(text.substr(text.size() - end.size()), end);
}
