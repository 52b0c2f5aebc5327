// SPDX-License-Identifier: GPL-3.0-or-later
// Floating-point constants in Microsoft binary format, as N88-BASIC keeps
// them in a program: the mantissa's bytes from the lowest, then the
// exponent byte.
//
//   single (4 bytes)  m0 m1 m2 e           value = 0.1mmm... (binary) * 2^(e-128)
//   double (8 bytes)  m0 m1 ... m6 e
//
// Bit 7 of the highest mantissa byte is the sign (1 negative); the leading
// 1 of the mantissa is not stored. An exponent byte of 0 is the value 0.
// Sign, exponent bias and hidden bit agree in two descriptions of the
// format; the byte order in memory (exponent last) is not confirmed by a
// second source, nor how LIST prints the values (the rules below are
// GW-BASIC's as far as known: 7 and 16 digits, E and D, ! and #).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace inspect {

inline constexpr std::size_t kMbfSingleSize = 4;
inline constexpr std::size_t kMbfDoubleSize = 8;

// The value of 4 or 8 bytes.
long double MbfToValue(std::span<const std::uint8_t> bytes);

// The 4 or 8 bytes nearest to value; nothing when it is too large.
// Values too small to hold become 0.
std::optional<std::vector<std::uint8_t>> ValueToMbf(long double value, std::size_t size);

// The constant as LIST writes it: at most 7 (single) or 16 (double)
// significant digits, no leading zero before the point, an exponent
// (E or D, sign and two digits) when the point would fall outside the
// digits shown, and "!" or "#" where the text alone would not keep the
// constant's type (a single that reads as an integer, a double of few
// digits).
std::string FormatSingle(long double value);
std::string FormatDouble(long double value);

} // namespace inspect
