// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/HexField.h"

#include <limits>

namespace {

bool IsFieldSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

std::optional<std::int32_t> ParseHexField(std::string_view field) {
    if (field.empty())
        return 0;

    std::size_t i = 0;
    while (i < field.size() && IsFieldSpace(field[i]))
        ++i;
    bool bNegative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        bNegative = field[i] == '-';
        ++i;
    }
    // "0x" is a prefix only when a digit follows; otherwise the 0 is a digit
    // and the x is a stray character.
    if (i + 2 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
        HexDigitValue(field[i + 2]) >= 0)
        i += 2;

    constexpr std::uint64_t kLimitPositive = std::numeric_limits<std::int32_t>::max();
    constexpr std::uint64_t kLimitNegative = kLimitPositive + 1;
    const std::uint64_t limit = bNegative ? kLimitNegative : kLimitPositive;

    std::uint64_t magnitude = 0;
    std::size_t nDigits = 0;
    for (; i < field.size(); ++i, ++nDigits) {
        const int digit = HexDigitValue(field[i]);
        if (digit < 0)
            break;
        magnitude = magnitude * 16 + static_cast<unsigned>(digit);
        if (magnitude > limit)
            magnitude = limit + 1; // saturated; keep reading the digits
    }
    if (nDigits == 0 || i != field.size())
        return std::nullopt;
    if (magnitude > limit)
        magnitude = limit;
    if (bNegative)
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    return static_cast<std::int32_t>(magnitude);
}
