// SPDX-License-Identifier: GPL-3.0-or-later
// A block as dump lines, in the form of the loader's own dump on the
// PC-8801 screen:
//
//   0010H : 41 42 43 00 ... (16 fields "XX ") : ABC.
//
// The offset counts from the block's first byte. The text column shows
// 0x20-0x7E as themselves, 0xA1-0xDF as half-width katakana and every
// other byte as ".". A short last line keeps its text column in place
// (blank hex fields); trailing blanks are dropped; each line ends in LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace inspect {

inline constexpr std::size_t kDumpBytesPerLine = 16;

std::string HexDump(std::span<const std::uint8_t> bytes);

// The character column of a line starts here (after "XXXXH : ", the
// sixteen "XX " fields and ": "), for views that mark bytes.
inline constexpr std::size_t kDumpHexColumn = 8;
inline constexpr std::size_t kDumpTextColumn = kDumpHexColumn + 3 * kDumpBytesPerLine + 2;

} // namespace inspect
