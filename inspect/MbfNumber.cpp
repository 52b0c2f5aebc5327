// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/MbfNumber.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace inspect {
namespace {

constexpr int kExponentBias = 128;
constexpr int kSingleDigits = 7;
constexpr int kDoubleDigits = 16;

int MantissaBits(std::size_t size) {
    return static_cast<int>(size - 1) * 8;
}

// Digits of the value rounded to at most `digits` significant ones, with
// trailing zeros dropped, and its decimal exponent (value = d.ddd * 10^exp).
void Digits(long double value, int digits, std::string& mantissa, int& exponent) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*Le", digits - 1, value);
    const std::string s = text;
    const std::size_t e = s.find('e');
    exponent = std::atoi(s.c_str() + e + 1);
    mantissa.clear();
    for (std::size_t i = 0; i < e; ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            mantissa += s[i];
    }
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
}

std::string Format(long double value, int digits, char exponentLetter, char typeMark) {
    if (value == 0)
        return typeMark == '#' ? "0#" : "0!";
    std::string out = value < 0 ? "-" : "";
    std::string mantissa;
    int exponent = 0;
    Digits(std::fabs(value), digits, mantissa, exponent);
    const int count = static_cast<int>(mantissa.size());
    // Fixed form while the point lies within the digits that can be shown.
    const bool fixed = exponent < digits && exponent >= -1 - (digits - count);
    bool typeShown = false;
    if (fixed) {
        if (exponent < 0) {
            out += "." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
        } else if (exponent + 1 >= count) {
            out += mantissa + std::string(static_cast<std::size_t>(exponent + 1 - count), '0');
        } else {
            const auto point = static_cast<std::size_t>(exponent + 1);
            out += mantissa.substr(0, point) + "." + mantissa.substr(point);
        }
    } else {
        out += mantissa.substr(0, 1);
        if (count > 1)
            out += "." + mantissa.substr(1);
        char e[16];
        std::snprintf(e, sizeof e, "%c%c%02d", exponentLetter, exponent < 0 ? '-' : '+',
                      std::abs(exponent));
        out += e;
        typeShown = exponentLetter == 'D';
    }
    // The text reads back as its own type only when it says so: a single
    // needs a point or an exponent, a double more than seven digits or a D.
    if (typeMark == '!' && fixed && out.find('.') == std::string::npos)
        out += '!';
    if (typeMark == '#' && !typeShown && count <= kSingleDigits)
        out += '#';
    return out;
}

} // namespace

long double MbfToValue(std::span<const std::uint8_t> bytes) {
    const std::size_t size = bytes.size();
    const int exponent = bytes[size - 1];
    if (exponent == 0)
        return 0;
    const std::uint8_t top = bytes[size - 2];
    long double mantissa = (top & 0x7F) | 0x80;
    for (std::size_t i = size - 2; i-- > 0;)
        mantissa = mantissa * 256 + bytes[i];
    const long double value = std::ldexp(mantissa, exponent - kExponentBias - MantissaBits(size));
    return (top & 0x80) != 0 ? -value : value;
}

std::optional<std::vector<std::uint8_t>> ValueToMbf(long double value, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0);
    if (!std::isfinite(value))
        return std::nullopt;
    if (value == 0)
        return bytes;
    const bool negative = value < 0;
    int exponent = 0;
    const long double fraction = std::frexp(std::fabs(value), &exponent); // [0.5, 1)
    const int bits = MantissaBits(size);
    long double mantissa = std::round(std::ldexp(fraction, bits));
    if (mantissa >= std::ldexp(1.0L, bits)) {
        mantissa = std::ldexp(mantissa, -1);
        ++exponent;
    }
    const int stored = exponent + kExponentBias;
    if (stored > 255)
        return std::nullopt;
    if (stored < 1)
        return bytes;
    for (std::size_t i = 0; i + 1 < size; ++i) {
        const long double rest = std::floor(mantissa / 256);
        bytes[i] = static_cast<std::uint8_t>(mantissa - rest * 256);
        mantissa = rest;
    }
    bytes[size - 2] = static_cast<std::uint8_t>((bytes[size - 2] & 0x7F) | (negative ? 0x80 : 0));
    bytes[size - 1] = static_cast<std::uint8_t>(stored);
    return bytes;
}

std::string FormatSingle(long double value) {
    return Format(value, kSingleDigits, 'E', '!');
}

std::string FormatDouble(long double value) {
    return Format(value, kDoubleDigits, 'D', '#');
}

} // namespace inspect
