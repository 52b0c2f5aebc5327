// SPDX-License-Identifier: GPL-3.0-or-later
// KXM tape images: the tape as a time line of records.
//
//   magic     "PC-8801 Tape Image(KXM)" 00                      24 bytes
//   records   tag u16, body length u16, body                   (little-endian)
//     0x0001  version     u16 0x0100
//     0x0101  data        start u32, duration u32, count u16, flags u16, bytes
//     0x0102  outer gap   start u32, duration u32
//     0x0103  inner gap   start u32, duration u32
//     0x0000  end         (a second magic after it starts a further image)
//
// Times are ticks of 1/4800 s; a byte takes 44 ticks at 1200 baud and 88 at
// 600. Flags bit 0x0100 marks 1200 baud.
#pragma once

#include <span>
#include <vector>

#include "tape/Archive.h"
#include "tape/TapeBlock.h"
#include "tape/TapeRecords.h"

// Walks the records of the image, in file order, into sink; throws
// CArchiveException for a file that is not a whole image.
void ReadKxmRecords(std::span<const std::uint8_t> image, CTapeRecordSink& sink);

// Appends the blocks of the image to blocks; throws CArchiveException.
void ReadKxm(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks);

void WriteKxm(const std::vector<CTapeBlock>& blocks, CByteSink& sink);
