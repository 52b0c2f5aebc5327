// SPDX-License-Identifier: GPL-3.0-or-later
// The last stage of the cassette decoder: framed bytes to records of the
// tape's time line, with the faults of their bytes and the gaps between.
//
// A byte that is not clean is kept with its best reading and the readings
// its weakest bits would give. Bytes follow back to back: a clean byte out
// of step with the last clean one, with faulty bytes between, means bytes
// were lost or are too many there, and the first faulty byte says about
// how many; a byte after idle out of step with the bits names the byte
// before it. Every byte carries how clearly its least clear bit was
// decided, from which the quality of a block is reckoned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/ByteFramer.h"
#include "tape/TapeRecords.h"

// Why a decoded byte is not clean.
enum class ByteFault : std::uint8_t {
    framing,   // a stop bit was not mark
    undecided, // a bit whose tone could not be told
    lost,      // no signal where the byte should be: its value is unknown (0)
    slip,      // the bytes' timing broke just before this one: bytes are missing or extra
};

// The other readings of a doubtful byte that the decoder weighed, most
// likely first.
inline constexpr std::size_t kMaxAlternatives = 3;

struct CByteFaultAt {
    std::size_t nIndex; // byte index in its record
    double dSeconds;    // where the byte starts in the recording
    ByteFault fault;
    int nSlip = 0; // slip: about this many bytes missing (> 0) or extra (< 0) before it
    std::uint8_t nAlternatives = 0;
    std::uint8_t alternatives[kMaxAlternatives] = {};
};

// Takes what a decoder finds, in time order.
class CDecodedRecordSink {
  public:
    virtual ~CDecodedRecordSink() = default;
    // A run of bytes back to back (pauses shorter than a gap kept inside),
    // its times in ticks of 1/4800 s of the recording, the faulty bytes.
    // confidence holds a figure for every byte: 0 for a faulty one, else
    // how clearly its least clear bit was decided, 1 to 255.
    virtual void OnRecord(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                          std::span<const std::uint8_t> bytes, std::span<const CByteFaultAt> faults,
                          std::span<const std::uint8_t> confidence) = 0;
    virtual void OnGap(TapeGap /*kind*/, std::uint32_t /*nStart*/, std::uint32_t /*nDuration*/) {}
    // A sink that wants to know where each byte lies in the recording
    // says so once, when the decoder is made; it then gets, just before
    // each OnRecord, the cells of every byte of the record as framed (in
    // seconds; a lost byte's counted in whole bit periods from where it
    // should start, every bit undecided, and marked lost).
    virtual bool WantsCells() const { return false; }
    virtual void OnRecordCells(std::span<const CBitCells> /*cells*/) {}
};

class CRecordAssembler final : public CByteFramerSink {
  public:
    explicit CRecordAssembler(CDecodedRecordSink& sink)
        : m_sink(sink), m_bCells(sink.WantsCells()) {}

    void OnBlockStart(double tEdge, double dLeader, int nBaud) override;
    void OnLostByte(double t) override;
    void OnByte(const CFramedByte& byte) override;
    void OnBlockEnd() override;
    // The recording has ended at tEnd: the gap after the last record.
    void Finish(double tEnd);

    // Bytes decoded so far, and how many of them were not clean: a measure
    // of how good the channel is.
    std::size_t GetByteCount() const { return m_nBytes; }
    std::size_t GetFaultCount() const { return m_nFaults; }
    std::size_t GetCleanCount() const { return m_nClean; }

    // Confidence of a clean byte from its least clear bit's margin, 1 to 255.
    static std::uint8_t Confidence(double margin);

  private:
    // nConfidence 0 makes the byte faulty, with fault.
    void AppendByte(std::uint8_t byte, double t, std::uint8_t nConfidence, ByteFault fault);
    void CheckGrid(double tEdge, double tb);
    static void AddAlternatives(CByteFaultAt& fault, const CBitCells& cells);
    void EmitGap(TapeGap kind, double t0, double t1);

    CDecodedRecordSink& m_sink;
    const bool m_bCells;
    bool m_bInRecord = false;
    int m_nBaud = 0;
    double m_tRecordStart = 0;
    double m_tLastByteEnd = 0;
    double m_tLastByteStart = 0;
    double m_tGapFrom = 0;
    double m_dBit = 0; // the bit period of the last byte framed
    std::vector<std::uint8_t> m_bytes;
    std::vector<CByteFaultAt> m_faults;
    std::vector<std::uint8_t> m_confidence;
    std::vector<CBitCells> m_cells;
    double m_tAnchor = 0;      // where the last clean byte of the record ended
    std::size_t m_nAnchor = 0; // bytes of the record up to it
    std::size_t m_nBytes = 0;
    std::size_t m_nFaults = 0;
    std::size_t m_nClean = 0;
};
