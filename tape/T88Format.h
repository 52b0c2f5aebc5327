// SPDX-License-Identifier: GPL-3.0-or-later
// T88 tape images, the format PC-8801 emulators keep tapes in: the records of
// a KXM image under a magic of their own. Each record is a tag, the length of
// its body, and the body (little-endian; the length counts the body only):
//
//   magic     "PC-8801 Tape Image(T88)" 00                      24 bytes
//     0x0001  version     u16 0x0100
//     0x0100  blank       start u32, duration u32   (a stretch without data)
//     0x0101  data        start u32, duration u32, count u16, flags u16, bytes
//     0x0102  space       start u32, duration u32   (KXM's outer gap)
//     0x0103  mark        start u32, duration u32   (KXM's inner gap)
//     0x0000  end         no body; the last record of the file
//
// Times are ticks of 1/4800 s; flags bit 0x0100 marks 1200 baud (44 ticks a
// byte), otherwise 600 baud (88). A reader skips tags it does not know, the
// blank included. Reading follows the KXM rules exactly (a named header
// joins its body, records back to back are one block, a further image after
// the end record continues the tape), and so does writing.
#pragma once

#include <span>
#include <vector>

#include "tape/KxmFormat.h"

inline constexpr CTapeImageMagic kT88Magic = MakeTapeImageMagic("PC-8801 Tape Image(T88)");

// Appends the blocks of the image to blocks; throws CArchiveException.
void ReadT88(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks);
void ReadT88(CArchive& ar, std::vector<CTapeBlock>& blocks);

// Throws CRelmuthException for a tape too long for the format's time.
void WriteT88(const std::vector<CTapeBlock>& blocks, CByteSink& sink);
