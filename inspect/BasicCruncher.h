// SPDX-License-Identifier: GPL-3.0-or-later
// BASIC text back into a block as the PC-8801 saves it with CSAVE: each line
// tokenised as N88-BASIC stores it (the forms drawn in BasicListing.h), the
// lines in order of their numbers, linked at the ROM BASIC text area's
// address, then the zero link and the nine zeros that CSAVE writes after a
// program:
//
//   D3 x10, name[6] (0x00 after a short name), lines..., 00 00, 00 x9
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tape/TapeBlock.h"

namespace inspect {

// Where N88-BASIC keeps a program in memory; the first link points past it.
// Not confirmed by a second source; N88-BASIC links a program afresh as it
// loads it, so a block with other links loads all the same.
inline constexpr unsigned kTextAreaAddress = 0x8021;
// Zeros CSAVE writes after the program (one description of the cassette
// format; the loader's ten zeros and the raw images' run of twelve agree).
inline constexpr std::size_t kCsaveTailZeros = 9;
// The longest tokenised line N88-BASIC takes.
inline constexpr std::size_t kMaxLineBytes = 255;
inline constexpr unsigned kMaxLineNumber = 65529;

// A line of the listing that cannot be tokenised. nLine is the line's
// number, or, for a line without a number, its place in the file (from 1).
class CBasicTextError : public std::runtime_error {
  public:
    CBasicTextError(unsigned nLine, bool bNumbered, const std::string& strWhy)
        : std::runtime_error(strWhy), m_nLine(nLine), m_bNumbered(bNumbered) {}
    unsigned m_nLine;
    bool m_bNumbered;
};

// The text of one line after its number, in the PC-8801's character codes,
// tokenised. Throws CBasicTextError (with nLine) for what it cannot take.
std::vector<std::uint8_t> CrunchLine(std::string_view text, unsigned nLine);

// A whole listing (LIST's form, CR LF or LF, ASCII and half-width katakana
// in UTF-8 or Shift-JIS) as a BASIC block of the given name (at most six
// PC-8801 characters, already in its code) and speed.
CTapeBlock BuildBasicBlock(std::string_view listing, const std::vector<std::uint8_t>& name,
                           int nBaud);

// A name given as UTF-8 in the PC-8801's code; false when it has a
// character the PC-8801 has not, or more than six.
bool EncodeFileName(std::string_view text, std::vector<std::uint8_t>& name);

} // namespace inspect
