// SPDX-License-Identifier: GPL-3.0-or-later
// Marks on the bytes of a tape that did not read cleanly: which block, which
// bytes, what was wrong and where in the recording they came from. A tape
// read from a damaged recording carries them, so that the user can see
// later which blocks to trust; a KXM image keeps them in a record of our
// own (below), every other format has no place for them.
//
// Marks address blocks by index, so an edit that removes or moves blocks
// moves their marks with them (RemoveBlockMarks, SwapBlockMarks); a block
// added at the end has none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tape/TapeBlock.h"

// What was wrong with the marked bytes; the numbers are those of the record.
enum class DamageKind : std::uint8_t {
    unknown = 0,   // a kind this program does not know (from a later one)
    framing = 1,   // a stop bit was not mark
    undecided = 2, // a bit whose tone could not be told
    lost = 3,      // no signal where the bytes should be: their value is unknown (0)
};

struct CDamageMark {
    std::size_t nBlock;    // index of the block in the tape
    std::size_t nOffset;   // the first marked byte, from the start of the block
    std::size_t nCount;    // marked bytes from there on, at least 1
    DamageKind kind;       // the same for every byte of the mark
    std::uint32_t nMillis; // where the first byte starts in the recording, in ms
    friend bool operator==(const CDamageMark&, const CDamageMark&) = default;
};

using CDamageMarks = std::vector<CDamageMark>;

// The user's line for a mark: its block, byte offset (or first and last),
// the time in the recording (m:ss.sss) and what is wrong. Block and offset
// count from 0, as the tool's list does.
std::string DescribeDamageMark(const CDamageMark& mark);

// How many bytes the marks cover.
std::size_t MarkedByteCount(std::span<const CDamageMark> marks);

// The marks of one block, in offset order.
CDamageMarks MarksOfBlock(std::span<const CDamageMark> marks, std::size_t nBlock);

// After block nBlock left the tape: its marks go, those of later blocks
// move up by one.
void RemoveBlockMarks(CDamageMarks& marks, std::size_t nBlock);
// After blocks i and j changed places.
void SwapBlockMarks(CDamageMarks& marks, std::size_t i, std::size_t j);

// Byte nOffset of block nBlock is marked no more: a mark of it alone goes,
// a mark around it is cut in two. The part after it starts where its
// first byte lies in the recording, bytes of nBaud following back to back.
void UnmarkByte(CDamageMarks& marks, std::size_t nBlock, std::size_t nOffset, int nBaud);

// The marks that fit the tape, sorted by block and offset: marks of a
// block the tape does not have, or reaching past its end, are left out, so
// that a file never points at bytes it does not hold.
CDamageMarks MarksThatFit(std::span<const CDamageMark> marks,
                          const std::vector<CTapeBlock>& blocks);

// The marks record of a KXM image, placed after the last data record of
// the block it marks:
//
//   tag 0x4D52 ("RM" in the file), body length, body:
//     0   u16  layout 1
//     2   u32  length of the marked block as written
//     6   marks, 13 bytes each:
//           u32 first byte, u32 byte count, u32 ms into the recording, u8 kind
//
// A reader that joins the block to an earlier one (a header with its body)
// finds the block's bytes at the end of what it has read so far, the given
// length back. A block with more marks than one body holds gets further
// records. Readers that do not know the tag skip it, as every KXM reader
// skips a tag it does not know.
inline constexpr std::uint16_t kTagDamageMarks = 0x4D52;

// The bodies of the records for one block's marks (sorted by offset, all
// inside the block); none for no marks.
std::vector<ByteArray> EncodeDamageMarks(std::span<const CDamageMark> blockMarks,
                                         std::size_t nBlockSize);

// Appends the marks of a record body to marks, for block nBlock, which has
// nBlockSize bytes so far. A body this program cannot take (another layout,
// a length that does not add up, a mark outside the block) adds nothing:
// the marks are a help beside the tape, never a reason to refuse it.
void DecodeDamageMarks(std::span<const std::uint8_t> body, std::size_t nBlock,
                       std::size_t nBlockSize, CDamageMarks& marks);
