// SPDX-License-Identifier: GPL-3.0-or-later
// The cassette deck of the virtual PC-8801: a tape as a time line of bytes
// that passes the head while the motor runs.
//
// A tape is put together from data records (bytes spread evenly over their
// duration, as a tape image records them) and the silence between them. The
// deck takes any tape the core reads as a time line: it is a record sink, so
// a KXM image's own records and gaps, the layout the KXM writer gives a raw
// image's blocks, and any further format that walks its records into a sink
// all play the same way. Like a real deck it keeps its place when the motor
// stops, and past the last record nothing more comes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tape/TapeRecords.h"

namespace pc88 {

// A block as the deck will play it: where it starts on the tape, its speed,
// its size and its kind by its header (IdentifyBlock's BLOCK_ values).
struct CDeckBlock {
    std::uint64_t nStart = 0; // T-states of tape time
    int nBaud = 1200;
    std::size_t nSize = 0;
    int nKind = 0;
};

class CCassetteDeck final : public CTapeRecordSink {
  public:
    // Tape time counts in T-states of the machine's 4 MHz clock.
    static constexpr std::uint64_t kClockHz = 4'000'000;

    // ---- putting a tape together, in time order ----
    // Silence at the end of the tape.
    void AppendGap(std::uint64_t tstates) { m_nEnd += tstates; }
    // Bytes at the end of the tape, one after another, 11 bit periods each
    // at their speed (a start bit, 8 data bits, 2 stop bits); with
    // bReceiveError each byte arrives flagged as badly received.
    void AppendBytes(std::span<const std::uint8_t> bytes, int nBaud, bool bReceiveError = false);

    // CTapeRecordSink: records of an image, times in ticks of 1/4800 s.
    void OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                std::span<const std::uint8_t> bytes) override;
    void OnGap(TapeGap kind, std::uint32_t nStart, std::uint32_t nDuration) override;
    void OnNextImage() override;

    // ---- playing ----
    // The motor; the tape moves only while it runs. now is machine time.
    void SetMotor(bool bOn, std::uint64_t now);
    bool MotorOn() const { return m_bMotor; }

    struct CPassedByte {
        std::uint8_t byte;
        int nBaud;
        bool bError;
    };
    // Moves the tape to machine time now and hands every byte whose last bit
    // has passed the head since the last call to take(byte).
    template <class Take> void Advance(std::uint64_t now, Take take) {
        MoveTo(now);
        while (m_nRecord < m_records.size()) {
            const CRecord& r = m_records[m_nRecord];
            if (m_nByte >= r.bytes.size()) {
                ++m_nRecord;
                m_nByte = 0;
                continue;
            }
            if (ByteEnd(r, m_nByte) > m_nPos)
                break;
            take(CPassedByte{r.bytes[m_nByte], r.nBaud, r.bError});
            ++m_nByte;
        }
    }

    // Tape time under the head, and the end of the last record or gap.
    std::uint64_t Position() const { return m_nPos; }
    std::uint64_t End() const { return m_nEnd; }
    // The blocks on the tape, by the same rule that makes blocks of an image's
    // records, each with the place where its first record starts.
    const std::vector<CDeckBlock>& Blocks() const { return m_blocks; }

  private:
    struct CRecord {
        std::uint64_t nStart;
        std::uint64_t nDuration;
        int nBaud;
        bool bError;
        std::vector<std::uint8_t> bytes;
    };
    static std::uint64_t ByteEnd(const CRecord& r, std::size_t i) {
        return r.nStart + (i + 1) * r.nDuration / r.bytes.size();
    }
    void MoveTo(std::uint64_t now);
    void AddRecord(CRecord record);

    std::vector<CRecord> m_records;
    std::uint64_t m_nEnd = 0;
    std::uint64_t m_nImageBase = 0; // where the current image's tick 0 lies

    // The block rule, run over the records as they come in.
    std::vector<CTapeBlock> m_builtBlocks;
    CBlockBuilder m_builder{m_builtBlocks};
    std::vector<CDeckBlock> m_blocks;

    bool m_bMotor = false;
    std::uint64_t m_nPos = 0;
    std::uint64_t m_nMoved = 0; // machine time up to which the tape has been moved
    std::size_t m_nRecord = 0;
    std::size_t m_nByte = 0;
};

// Reads a tape file into the deck: a KXM or T88 image with its own records
// and gaps; a raw image (.cmt, .cas) at nRawBaud and a cassette recording
// with the blocks it decodes to, both laid out as the KXM writer would lay
// out their blocks. Throws CRelmuthException (the message
// and reason the core gives) when the file cannot be read.
void LoadTapeFile(const std::string& path, int nRawBaud, CCassetteDeck& deck);

} // namespace pc88
