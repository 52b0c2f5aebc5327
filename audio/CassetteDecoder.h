// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes the PC-8801's cassette signal, one channel of samples at a time,
// into a time line of data records and gaps.
//
// The signal, as public descriptions of the hardware and emulators give it:
//
//   Modulation  frequency-shift keying of an asynchronous serial line: the
//               PC-8801 frames bytes with its 8251 USART, and the cassette
//               interface turns the line into two tones and back.
//   Tones       1200 Hz for a 0 bit (space), 2400 Hz for a 1 bit (mark).
//   1200 baud   bit period 833 us: a 0 is one cycle of 1200 Hz, a 1 two
//               cycles of 2400 Hz. A byte lasts 9.17 ms (44 ticks).
//   600 baud    bit period 1667 us: a 0 is two cycles of 1200 Hz, a 1 four
//               cycles of 2400 Hz. A byte lasts 18.3 ms (88 ticks).
//   Byte        a start bit (0), eight data bits lowest first, two stop
//               bits (1): 11 bit periods. Bytes of a block follow back to
//               back; the line between them idles at mark.
//   Leader      a steady mark tone (2400 Hz at either speed) before a
//               block. The tone alone does not tell the speed: the bit
//               cells do.
//   Header gap  a BASIC program's or named machine-code file's header (ten
//               D3 or "$$$", and a six-byte name) is followed by its body
//               after a short pause; Grebe waits up to 5 s for it and up to
//               1 s between any other two bytes of a block.
//   Speed       N88-BASIC reads "CAS1:" at 1200 baud and "CAS2:" at 600
//               baud; one tape may change speed from one block to the next.
//
// Sources: the cassette chapter of the Basic Master Level 3 emulator's
// documentation (s-sasaji, "bml3mk5", tape.htm: cycles per bit at both
// speeds, one start and two stop bits on a 1200/2400 Hz interface); the
// Sega SC-3000 tape chart published by SMS Power ("Tape format": 1200 baud
// with one 1200 Hz cycle for 0 and two 2400 Hz cycles for 1, start bit 0,
// lowest bit first, stop bits 1, a steady-1 leader); electrelic's
// "磁気テープ (4)" (the PC-8001mkII sends 600 bps start-stop serial data as
// 1200/2400 Hz FSK); the PC88 MiSTer core's cassette input (pull request 70:
// the PC-8801 demodulates the tape and frames it with its 8251 at the speed
// port 30h selects, CAS1 1200 / CAS2 600 baud, tapes switching speed between
// blocks); Manuke's T88 format description (1/4800 s ticks; 44 ticks a byte
// at 1200 baud, that is 11 bits); Grebe's reading routine (the time limits).
//
// How it decodes, for each channel:
//   1. A band-pass (2nd-order high-pass at 600 Hz, low-pass at 3.6 kHz)
//      removes DC offset, hum and hiss; zero crossings with hysteresis
//      relative to the signal's own level give half-periods, whatever the
//      polarity, level or clipping. A sample that is no number (NaN,
//      infinity) is silence to the filters, and the byte it falls in is
//      named.
//   2. Each half-period is short (mark), long (space) or no carrier (too
//      quiet against the recent level, or too long). The level references
//      climb slowly towards a louder peak, so that a click does not make
//      the carrier after it pass for none. The short and long half-periods
//      track the tape's speed (error, wow and flutter).
//   3. Half-periods of one kind make runs; a leader is a mark run of at
//      least 30 ms. The speed of each block is found from its own bit
//      cells: every byte at 1200 baud holds a run of an odd number of
//      1200-baud bit periods (its 11 bit periods cannot all pair up), while
//      at 600 baud every run is an even number of them; where the first
//      bytes read clearly better at one speed, that speed wins.
//   4. Bytes are read like a UART: a start edge, then 11 cells of the bit
//      period, each decided by the tone that fills most of it and kept in
//      step by the edges between cells. A cell that no tone fills clearly
//      is an undecided bit; stop bits that are not mark are a framing
//      error; a stretch without carrier inside a block is counted out in
//      lost bytes. Each such byte is kept with its best reading, the
//      readings its weakest bits would give beside it, and reported.
//      Space through a whole frame and beyond what any byte holds is a
//      break (tools play a tape image's spaces as steady low tone): it ends
//      the block and is no byte.
//   5. Bytes follow back to back. A clean byte out of step with the last
//      clean one, with faulty bytes between, means bytes were lost or are
//      too many there, and the first faulty byte says about how many; idle
//      of part of a bit after a clean byte means the signal jumped, and the
//      byte before it is named.
//   Every byte carries how clearly its least clear bit was decided, from
//   which the quality of a block is reckoned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "audio/ByteCells.h"
#include "audio/SignalConditioner.h"
#include "audio/ToneRuns.h"
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
};

class CCassetteDecoder {
  public:
    // nForceBaud 600 or 1200 reads every block at that speed; 0 finds it.
    CCassetteDecoder(double dSampleRate, CDecodedRecordSink& sink, int nForceBaud = 0);

    // The next nFrames samples, taken from pSamples at every nStride-th float.
    void Feed(const float* pSamples, std::size_t nFrames, std::size_t nStride = 1);
    // The recording has ended: the last record is passed on.
    void Finish();

    // Bytes decoded so far, and how many of them were not clean: a measure
    // of how good the channel is.
    std::size_t GetByteCount() const { return m_nBytes; }
    std::size_t GetFaultCount() const { return m_nFaults; }
    std::size_t GetCleanCount() const { return m_nClean; }

    // Each byte framed goes to the observer too, with its cells (none: not
    // told). The observer must outlive the decoder.
    void SetCellObserver(CByteCellObserver* pObserver) { m_pCellObserver = pObserver; }

  private:
    using Tone = CarrierTone;
    using Run = CToneRun;
    struct Cells; // one byte's cells, decided

    // Stage 2: half-periods (from the conditioner) to tones and runs.
    void OnHalfPeriod(double t0, double t1, double dPeak);
    void PushRun(const Run& run);
    // Stage 3: runs to bytes and records.
    void Process(bool bFinal);
    bool FindStartEdge(double tFrom, std::size_t& nRun, double& tEdge) const;
    double ResumeEdge(std::size_t nRun, double tFirst, bool bFinal, bool& bWait) const;
    double MarkBefore(std::size_t nRun) const;
    double NoneBetween(double t0, double t1) const;
    bool DecideBaud(std::size_t nFirst, double tEdge, bool bFinal);
    int CleanBytesFrom(double tEdge, int nBaud, bool bFinal) const;
    bool DecodeByte(double tEdge, bool bFinal, Cells& cells) const;
    bool DecodeByte(double tEdge, bool bFinal, Cells& cells, int nBaud) const;
    void ToneTimes(double t0, double t1, double& mark, double& space, double& none) const;
    double SpeedAt(double t) const;
    void BeginRecord(double tEdge, double dLeader);
    void EndRecord();
    // nConfidence 0 makes the byte faulty, with fault.
    void AppendByte(std::uint8_t byte, double t, std::uint8_t nConfidence, ByteFault fault);
    void CheckGrid(double tEdge, double tb);
    static bool IsOutOfStep(double bits);
    bool HasBadSample(double t0, double t1);
    static void AddAlternatives(CByteFaultAt& fault, const Cells& cells);
    static std::uint8_t Confidence(double margin);
    void DropRunsBefore(double t);
    // Tells the observer of the byte about to be appended; no cells: a
    // byte lost, a frame of bit period tb from t.
    void ObserveCells(const Cells* pCells, double t, double tb);
    void EmitGap(TapeGap kind, double t0, double t1);

    CDecodedRecordSink& m_sink;
    CByteCellObserver* m_pCellObserver = nullptr;

    // Stage 1: samples to half-periods.
    CSignalConditioner m_conditioner;
    const int m_nForceBaud;
    double m_dRef = 0;               // slowly falling carrier reference
    double m_dRefLong = 0;           // the loudest carrier of the last minute
    std::deque<double> m_badSamples; // times of samples that were no number

    // Stage 2: half-periods to runs, and the runs of the last half second.
    CToneRunTracker m_tones;
    std::deque<Run> m_runs;

    // Records.
    bool m_bInRecord = false;
    int m_nBaud = 0; // of the record; 0 while not yet found
    double m_tHunt = 0;
    double m_tRecordStart = 0;
    double m_tLastByteEnd = 0;
    double m_tLastByteStart = 0;
    double m_tTrailMark = 0;             // where the last byte's trailing mark began,
    int m_nTrailCells = 0;               // how many cells it filled
    double m_dTrailBit = 0;              // and the bit period the byte showed up to it
    bool m_bResumeWithoutLeader = false; // a record cut by a long loss goes on
    bool m_bOnGrid = false;              // the last byte was clean: the next starts where it ended
    double m_tGapFrom = 0;
    std::vector<std::uint8_t> m_bytes;
    std::vector<CByteFaultAt> m_faults;
    std::vector<std::uint8_t> m_confidence;
    double m_tAnchor = 0;      // where the last clean byte of the record ended
    std::size_t m_nAnchor = 0; // bytes of the record up to it
    std::size_t m_nBytes = 0;
    std::size_t m_nFaults = 0;
    std::size_t m_nClean = 0;
};
