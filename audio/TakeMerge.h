// SPDX-License-Identifier: GPL-3.0-or-later
// Several takes of one tape (recordings of it, or images made from them)
// merged into one: the blocks of the takes are lined up, then the bytes of
// each block, and each byte is decided by the takes that read it cleanly.
//
//   - Blocks are lined up by their bytes (the same bytes at the same
//     places from either end), in tape order; a block that only some takes
//     hold is kept from those.
//   - Bytes are lined up allowing for bytes missing or extra in a take (a
//     cut, tone over the data): a byte of one take that another take lacks
//     is kept when the takes that hold it outweigh those that do not, a
//     clean reading weighing more than a damaged one or a gap beside one.
//   - A byte that the takes reading it cleanly agree on is clean, also when
//     others read it damaged. Clean readings that differ are decided by
//     majority (then by confidence) and stay marked unless the majority is
//     strict: a lossy file can turn a bit over with a clear tone.
//   - A byte no take reads cleanly keeps the most common reading and stays
//     marked, with the other readings as alternatives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "audio/Recording.h"
#include "audio/RecordingFormats.h"
#include "tape/BlockNotes.h"
#include "tape/DamageMarks.h"
#include "tape/TapeBlock.h"

// One take: its blocks and how each byte was read.
struct CTake {
    std::vector<CTapeBlock> blocks;
    // For each block, each byte's confidence: 0 damaged, else 1 to 255.
    std::vector<std::vector<std::uint8_t>> confidence;
    // The damaged bytes, by block and offset in this take.
    std::vector<CDamagedByte> damage;
};

// How sure a byte of an image is that carries no mark: the image keeps no
// margins, only what was damaged.
inline constexpr std::uint8_t kImageConfidence = 200;

// A take from a decoded recording: its blocks, damage and quality as read.
CTake TakeFromRecording(std::vector<CTapeBlock> blocks, std::vector<CDamagedByte> damage,
                        std::span<const CBlockQuality> quality);
// A take from a tape image: the marked bytes are damaged. Where the
// blocks' notes keep how clearly a recording's decoder read each byte (a
// tape opened from one), the unmarked bytes are as sure as it said.
CTake TakeFromImage(std::vector<CTapeBlock> blocks, std::span<const CDamageMark> marks,
                    std::span<const CBlockNote> notes = {});

// A take from what a file read gave: a recording's own figures where the
// reading decoded one, else the image's marks.
CTake TakeFromReading(std::vector<CTapeBlock> blocks, const CDamageMarks& marks,
                      const CRecordingReading& reading);

struct CMergedBlock {
    // The block each take gave to it, or -1 when the take has none.
    std::vector<long> fromTake;
    std::size_t nMended = 0;   // bytes damaged or missing in some take that another read cleanly
    std::size_t nOutvoted = 0; // bytes whose clean readings differed, decided by a strict majority
    // The take whose reading the block's doubtful bytes are said as (their
    // times in its recording): -1 when they come from several takes, or a
    // byte is doubtful for clean readings that differ; the take with the
    // fewest damaged bytes for a block without any.
    long nSaidBy = -1;
};

struct CMergeResult {
    std::vector<CTapeBlock> blocks;
    // The bytes that stay doubtful, by block and offset in the merged tape.
    std::vector<CDamagedByte> damage;
    std::vector<CMergedBlock> merged; // block for block
    // Block for block, each byte's confidence as the takes read it: 0 for a
    // doubtful byte, else that of the clean readings it was decided by.
    std::vector<std::vector<std::uint8_t>> confidence;
};

// Merges the takes (the first take's blocks lead where the order is in doubt).
CMergeResult MergeTakes(std::span<const CTake> takes);

// The user's line for a merged block: its index, the takes it came from
// (counted from 1), the bytes mended and decided by majority.
std::string DescribeMergedBlock(std::size_t nBlock, const CMergedBlock& merged);
// The bytes mended in all.
std::size_t MendedByteCount(const CMergeResult& result);
