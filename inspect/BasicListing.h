// SPDX-License-Identifier: GPL-3.0-or-later
// A BASIC block listed as LIST shows it on the PC-8801.
//
//   D3 x10, name[6]                        the cassette header (16 bytes)
//   per line:  link[2] number[2] text... 00   (link and number low byte first)
//   00 00                                  a zero link ends the program
//   00 ...                                 the zeros CSAVE writes after it
//
// A link holds the memory address of the next line; the block does not say
// where the program stood in memory, so the first link gives that address
// and every further link must agree with where its line really ends (so a
// first line that grew or shrank shows as damage at the second).
//
// The text is tokenised: reserved words as codes of the token table,
// numbers in binary (the forms below), everything else as characters.
//
//   0x11-0x1A          the digits 0-9
//   0x0F b             a one-byte integer 10-255
//   0x1C lo hi         a 2-byte integer
//   0x0B lo hi         an &O constant        0x0C lo hi   an &H constant
//   0x0E lo hi         a line number         0x0D lo hi   a line's address
//   0x1D 4 bytes       a single-precision constant (Microsoft binary format)
//   0x1F 8 bytes       a double-precision constant
//
// ELSE is stored as ':' ELSE and ' as ':' REM '; LIST leaves that colon out.
// Strings, REM, ' and DATA items are characters, listed as they are.
//
// The number forms 0x0B-0x1C agree in a description of N88 disk BASIC's
// files (the converter the token table comes from) and in a GW-BASIC
// work-alike's token module; ' as ':' REM ' in the same two. Confirmed by
// the GW-BASIC family only: 0x1D and 0x1F holding MBF constants, ':' ELSE,
// 0x1B (ten there, listed as 10 here). Not confirmed by a second source:
// where LIST adds blanks (none are added; the stored text keeps the typed
// blanks); how floats print (see MbfNumber.h); what a line address shows
// when no line starts there (the address in decimal); how 0x5C shows (as
// the backslash; the PC-8801's font draws it as the yen sign).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace inspect {

inline constexpr std::size_t kBasicProgramStart = 16; // after the header

struct SBasicListing {
    std::string text; // one LF-ended line per program line
    // Set when the program is damaged: the block offset of the line where
    // listing stopped (its link field), and why.
    std::optional<std::size_t> stoppedAt;
    enum class EStop { none, brokenLink, cutOff } reason = EStop::none;
};

// Lists a BASIC block (header included).
SBasicListing ListBasic(std::span<const std::uint8_t> block);

// The size of the operand bytes that follow a number form's code (0x0B-0x1F),
// 0 for every other byte.
std::size_t NumberOperandSize(std::uint8_t code);

} // namespace inspect
