// SPDX-License-Identifier: GPL-3.0-or-later
// A tape as it passes the head: a time line of data records and gaps.
//
// Every tape format meets here. The KXM reader walks its records into a
// sink, a decoded recording produces the same records, and one rule, the
// block builder, turns them into blocks. The other way, LayOutBlocks gives
// the time line the KXM writer puts on tape for a list of blocks, which a
// writer of any format (or a player) walks.
//
// Times are ticks of 1/4800 s, counted as the images store them: 32-bit
// and unsigned, so they wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tape/TapeBlock.h"

inline constexpr std::uint32_t kTicksPerSecond = 4800;
// A byte is 11 bit periods: 44 ticks at 1200 baud, 88 at 600.
inline constexpr std::uint32_t kTicksPerByteFast = 44;
inline constexpr std::uint32_t kTicksPerByteSlow = 88;

inline std::uint32_t TicksPerByte(int nBaud) {
    return nBaud == kBaudSlow ? kTicksPerByteSlow : kTicksPerByteFast;
}

// The kinds of stretch without data, by the tag the image files give them.
enum class TapeGap : std::uint16_t {
    outer = 0x0102, // the outside of a block: before its leader, after its end
    inner = 0x0103, // next to the data: the leader, the pause inside a block
};

// Takes the records of a tape in time order.
class CTapeRecordSink {
  public:
    virtual ~CTapeRecordSink() = default;
    // nStart and nDuration in ticks; nBaud 1200 or 600.
    virtual void OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                        std::span<const std::uint8_t> bytes) = 0;
    virtual void OnGap(TapeGap /*kind*/, std::uint32_t /*nStart*/, std::uint32_t /*nDuration*/) {}
    // A further image, joined after the end of the last, begins: its times
    // count from zero again.
    virtual void OnNextImage() {}
    // LayOutBlocks: the last data record of block nBlock has been given.
    virtual void OnBlockLaidOut(std::size_t /*nBlock*/) {}
    // A reader: the body of a damage-marks record (DamageMarks.h).
    virtual void OnDamageMarks(std::span<const std::uint8_t> /*body*/) {}
};

// The rule that makes blocks of data records. A record continues the last
// block when there is one and either that block is a named header (a BASIC
// program's or a named machine-code file's), whose body this record then
// is, or the record starts no later than the last record ended (records
// back to back are one block). Otherwise it starts a new block, which takes
// the speed of its first record. Gaps only separate records in time.
class CBlockBuilder final : public CTapeRecordSink {
  public:
    // Appends to blocks, which may already hold blocks of its own.
    explicit CBlockBuilder(std::vector<CTapeBlock>& blocks) : m_blocks(blocks) {}

    void OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                std::span<const std::uint8_t> bytes) override;
    void OnNextImage() override { m_nBase = m_nEnd; }

  private:
    std::vector<CTapeBlock>& m_blocks;
    bool m_bJoin = false;      // the last block is a header whose body comes next
    std::uint32_t m_nEnd = 0;  // end of the last data record, on the joined time line
    std::uint32_t m_nBase = 0; // where the current image begins on it
};

// The time line the KXM writer lays out for blocks, from tick 0: around each
// block an outer gap of 1.5 s and an inner gap of 0.5 s before it, an inner
// gap of 1 s and an outer gap of 2 s after it; a named header in a record of
// its own with 0.1 s of inner gap before its body; other data in records of
// at most 32 KiB back to back; an empty block as one record of no bytes.
void LayOutBlocks(const std::vector<CTapeBlock>& blocks, CTapeRecordSink& sink);

// How long that time line lasts, in ticks, counted without wrapping.
std::uint64_t LaidOutTicks(const std::vector<CTapeBlock>& blocks);
