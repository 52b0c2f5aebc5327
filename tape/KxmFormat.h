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
//     0x4D52  damage marks of the block before it, a record of our own
//             (DamageMarks.h); KXM only, other readers skip it
//
// Times are ticks of 1/4800 s; a byte takes 44 ticks at 1200 baud and 88 at
// 600. Flags bit 0x0100 marks 1200 baud.
//
// T88 images (T88Format.h) have these records under a magic of their own;
// the reader and the writer here take the magic as a parameter.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "tape/Archive.h"
#include "tape/DamageMarks.h"
#include "tape/TapeBlock.h"
#include "tape/TapeRecords.h"

// The 24 bytes that open an image: 23 characters and a zero byte.
using CTapeImageMagic = std::array<std::uint8_t, 24>;

constexpr CTapeImageMagic MakeTapeImageMagic(std::string_view text) {
    CTapeImageMagic magic{};
    for (std::size_t i = 0; i < text.size() && i + 1 < magic.size(); ++i)
        magic[i] = static_cast<std::uint8_t>(text[i]);
    return magic;
}

inline constexpr CTapeImageMagic kKxmMagic = MakeTapeImageMagic("PC-8801 Tape Image(KXM)");

// The latest time the 32-bit fields hold. A tape whose time line would run
// beyond it is refused rather than written with times that wrap (and read
// back with its blocks joined): about 248 hours, 48 MB of tape at 600 baud.
inline constexpr std::uint64_t kMaxTapeTicks = 0xFFFFFFFF;

// Walks the records of an image that opens with magic, in file order, into
// sink, reading the archive as a stream: only the record at hand is held.
// Throws CArchiveException for a file that is not a whole image, or one
// longer than kMaxImageSize.
void ReadTapeImageRecords(CArchive& ar, const CTapeImageMagic& magic, CTapeRecordSink& sink);

// Appends the blocks of the image to blocks, and with pMarks the damage
// marks of its marks records to *pMarks (by the index each block gets).
void ReadTapeImage(CArchive& ar, const CTapeImageMagic& magic, std::vector<CTapeBlock>& blocks,
                   CDamageMarks* pMarks = nullptr);

// Writes the blocks as an image with the magic, each block's damage marks
// (those that fit it) in marks records after its data. A tape that lasts
// longer than nMaxTicks throws CRelmuthException (the save message, and
// why) before a byte is written.
void WriteTapeImage(const std::vector<CTapeBlock>& blocks, const CTapeImageMagic& magic,
                    CByteSink& sink, std::uint64_t nMaxTicks = kMaxTapeTicks,
                    std::span<const CDamageMark> marks = {});

// The same for KXM.
void ReadKxm(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks,
             CDamageMarks* pMarks = nullptr);
void ReadKxm(CArchive& ar, std::vector<CTapeBlock>& blocks, CDamageMarks* pMarks = nullptr);
void WriteKxm(const std::vector<CTapeBlock>& blocks, CByteSink& sink);
void WriteKxm(const std::vector<CTapeBlock>& blocks, CByteSink& sink,
              std::span<const CDamageMark> marks);
