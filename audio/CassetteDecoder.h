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
// How it decodes, for each channel, by four classes in a row, each handing
// the next one unit at a time (a half-period, a run, a byte): the
// conditioner (1), the tone runs (2), the byte framer (3, 4) and the record
// assembler (5).
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
//      track the tape's speed (error, wow and flutter). One half-period off
//      its tone's length inside a run of one tone, its neighbours as they
//      should be, is where the signal jumped (a splice).
//   3. Half-periods of one kind make runs; a leader is a mark run of at
//      least 30 ms. The speed of each block is found from its own bit
//      cells: every byte at 1200 baud holds a run of an odd number of
//      1200-baud bit periods (its 11 bit periods cannot all pair up), while
//      at 600 baud every run is an even number of them; where the first
//      bytes read clearly better at one speed, that speed wins.
//   4. Bytes are read like a UART: a start edge, then 11 cells of the bit
//      period, each decided by the tone that fills most of it and kept in
//      step by the edges between cells. Each cell is weighed a second
//      time by the energy of each tone in the band-passed samples under
//      it, which a lossy file or a low rate bends less than the crossings.
//      A cell that no tone fills clearly, or on which the two opinions
//      differ, is an undecided bit; stop bits that are not mark are a framing
//      error; a stretch without carrier inside a block is counted out in
//      lost bytes. Each such byte is kept with its best reading, the
//      readings its weakest bits would give beside it, and reported.
//      Space through a whole frame and beyond what any byte holds is a
//      break (tools play a tape image's spaces as steady low tone): it ends
//      the block and is no byte.
//   5. Bytes follow back to back. A byte a splice falls in is named as the
//      place where bytes may be missing or extra. A clean byte out of step with the last
//      clean one, with faulty bytes between, means bytes were lost or are
//      too many there, and the first faulty byte says about how many; idle
//      of part of a bit after a clean byte means the signal jumped, and the
//      byte before it is named.
//   Every byte carries how clearly its least clear bit was decided, from
//   which the quality of a block is reckoned.
#pragma once

#include <cstddef>

#include "audio/ByteFramer.h"
#include "audio/RecordAssembler.h"
#include "audio/SignalConditioner.h"
#include "audio/ToneRuns.h"

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
    std::size_t GetByteCount() const { return m_records.GetByteCount(); }
    std::size_t GetFaultCount() const { return m_records.GetFaultCount(); }
    std::size_t GetCleanCount() const { return m_records.GetCleanCount(); }

    // Each byte framed goes to the observer too, with its cells (none: not
    // told). The observer must outlive the decoder.
    void SetCellObserver(CByteCellObserver* pObserver) { m_records.SetCellObserver(pObserver); }

  private:
    CCellTones m_cellTones;           // the band-passed samples, for a second opinion on cells
    CSignalConditioner m_conditioner; // samples to half-periods
    CToneRunTracker m_tones;          // half-periods to runs of one tone
    CRecordAssembler m_records;       // framed bytes to records
    CByteFramer m_framer;             // runs to framed bytes
};
