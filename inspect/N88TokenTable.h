// SPDX-License-Identifier: GPL-3.0-or-later
// N88-BASIC's token table: the reserved words and the codes they are stored
// as in a program's memory form, the one table that the lister, the cruncher
// and the virtual PC-8801's interpreter share.
//
//   one-byte tokens   0x81-0xFE           END ... MOD, and the operators
//   functions         0xFF, 0x81-0xE4     LEFT$ ... CMD
//
// The codes agree in two public descriptions of N88 disk BASIC's table
// (a D88 disk tool's N88 converter and a PC-8801 game translation kit; a
// third confirms GOTO 0x89 and PRINT 0x91 for N88-BASIC on cassette). Not
// confirmed by a second source: that the ROM BASIC's table is the disk
// BASIC's (taken so, the disk words being refused without a disk); that
// codes 0xB2-0xB4, 0xDA and FF AA-CF, empty in both, are empty in every
// ROM; and the statement flags, which are this program's own reading.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace n88 {

// The prefix of the second code page.
inline constexpr std::uint8_t kFunctionPrefix = 0xFF;

// Codes the lister and the cruncher treat apart.
inline constexpr std::uint16_t kTokenRem = 0x8F;
inline constexpr std::uint16_t kTokenData = 0x84;
inline constexpr std::uint16_t kTokenElse = 0x9F;
inline constexpr std::uint16_t kTokenPrint = 0x91;
inline constexpr std::uint16_t kTokenRemark = 0xE9; // ', stored as ':' REM '

struct SToken {
    std::string_view word; // as LIST writes it
    std::uint16_t code;    // 0x81-0xFE, or 0xFF00 | second byte
    bool statement;        // begins a statement (as opposed to a function,
                           // operator or a word inside a statement)
};

// Every word and operator of the table, in code order.
std::span<const SToken> GetTokens();

// The entry of a code (0x81-0xFE, or 0xFF81-0xFFFF), or nullptr.
const SToken* FindToken(std::uint16_t code);

// Whether a number right after this code is a line number (GOTO 100); the
// list is the translation kit's, GOTO GOSUB THEN ELSE RESTORE confirmed by
// the converter.
bool TakesLineNumber(std::uint16_t code);

} // namespace n88
