// SPDX-License-Identifier: GPL-3.0-or-later
// The third stage of the cassette decoder: runs of one tone to framed
// bytes, as a UART frames a serial line, and to the breaks, leaders and
// losses between them.
//
// It hunts a start edge (mark to space) after a leader of at least 30 ms,
// finds each block's speed from its own bit cells, then reads 11 cells of
// the bit period from each start edge, each decided by the tone that fills
// most of it and kept in step by the tone edges between cells, then
// weighed again by the energy of each tone in it (CellTones.h). Space
// through a whole frame and longer than any byte holds is a break. Each
// byte goes to the sink with its cells as it is framed; the sink builds
// the records (RecordAssembler.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "audio/CassetteSignal.h"
#include "audio/CellTones.h"
#include "audio/ToneRuns.h"

// One byte's bit cells as the framer decided them: start bit, eight data
// bits lowest first, two stop bits.
struct CBitCells {
    double edges[kBitsPerByte + 1]; // seconds: where each cell starts, and the last one's end
    bool bits[kBitsPerByte];        // the tone that filled most of the cell: mark is 1
    bool undecided[kBitsPerByte];   // no tone filled it clearly
    double margin[kBitsPerByte];    // how clearly one tone filled it, 0 to 1
};

// A byte as framed.
struct CFramedByte {
    CBitCells cells;
    double dBit;         // the bit period it was read with, seconds
    std::uint8_t nValue; // its data bits
    bool bBadSample;     // a sample in it was no number
    bool bJumpBefore;    // the idle before it was out of step with the bits: the
                         // byte before it holds bits of two bytes
    bool bTonesDisagree; // the runs read it cleanly, but the tones under its cells
                         // told a bit otherwise or not clearly: it is in step
    bool bJumpIn;        // a half-period in it was of neither tone's length: the signal
                         // jumped there, and bytes may be missing or extra
    double Start() const { return cells.edges[0]; }
    double End() const { return cells.edges[kBitsPerByte]; }
    // Whether a stop bit was space.
    bool HasFramingError() const {
        return !cells.bits[kBitsPerByte - 2] || !cells.bits[kBitsPerByte - 1];
    }
    // Whether a bit was not decided clearly.
    bool IsUndecided() const;
    bool IsClean() const { return !HasFramingError() && !IsUndecided(); }
    // How clearly its least clear cell was decided, 0 to 1.
    double Margin() const;
};

// Takes what the framer finds, in time order: one call per unit.
class CByteFramerSink {
  public:
    virtual ~CByteFramerSink() = default;
    // A block begins at tEdge (its first start edge) at nBaud, after
    // dLeader seconds of leader.
    virtual void OnBlockStart(double tEdge, double dLeader, int nBaud) = 0;
    // A byte whose signal was lost, starting at t: its value is unknown.
    virtual void OnLostByte(double t) = 0;
    virtual void OnByte(const CFramedByte& byte) = 0;
    // The block under way has ended (idle, a break, a long loss, a leader).
    virtual void OnBlockEnd() = 0;
};

class CByteFramer {
  public:
    // nForceBaud 600 or 1200 reads every block at that speed; 0 finds it.
    CByteFramer(CByteFramerSink& sink, int nForceBaud = 0);

    // The next run of one tone; dSpeedNow is the speed tracked up to now,
    // taken where no run reaches.
    void OnRun(const CToneRun& run, double dSpeedNow);
    // A sample at t was no number: the byte it falls in is not clean.
    void OnBadSample(double t) { m_badSamples.push_back(t); }
    // A half-period at t, inside a run, was of neither tone's length: the
    // byte it falls in holds a jump of the signal.
    void OnOddHalf(double t) { m_oddHalves.push_back(t); }
    // The recording has ended after these last runs: every byte is framed
    // and the block under way ended.
    void AddLastRun(const CToneRun& run) { m_runs.push_back(run); }
    void Finish(double dSpeedNow);

    // The samples under the runs, for a second opinion on each cell of a
    // byte framed (none: the runs alone decide). They must outlive the
    // framer.
    void SetCellTones(const CCellTones* pTones) { m_pCellTones = pTones; }

  private:
    using Tone = CarrierTone;
    using Run = CToneRun;

    void Process(bool bFinal);
    bool FindStartEdge(double tFrom, std::size_t& nRun, double& tEdge) const;
    double ResumeEdge(std::size_t nRun, double tFirst, bool bFinal, bool& bWait) const;
    double MarkBefore(std::size_t nRun) const;
    double NoneBetween(double t0, double t1) const;
    bool DecideBaud(std::size_t nFirst, double tEdge, bool bFinal);
    int CleanBytesFrom(double tEdge, int nBaud, bool bFinal) const;
    bool DecodeCells(double tEdge, bool bFinal, CBitCells& cells, int nBaud) const;
    void WeighCells(CBitCells& cells, int nBaud) const;
    void ToneTimes(double t0, double t1, double& mark, double& space, double& none) const;
    // The same from it, the first run that ends after t0.
    void ToneTimesFrom(std::deque<CToneRun>::const_iterator it, double t0, double t1, double& mark,
                       double& space, double& none) const;
    double SpeedAt(double t) const;
    void BeginBlock(double tEdge, double dLeader);
    void EndBlock();
    void Lost(double t);
    static bool IsOutOfStep(double bits);
    bool HasBadSample(double t0, double t1);
    bool HasOddHalf(double t0, double t1);
    void DropRunsBefore(double t);

    CByteFramerSink& m_sink;
    const CCellTones* m_pCellTones = nullptr;
    const int m_nForceBaud;
    double m_dSpeedNow = 1.0;
    std::deque<Run> m_runs; // the runs of the last half second
    std::deque<double> m_badSamples;
    std::deque<double> m_oddHalves;

    bool m_bInBlock = false;
    int m_nBaud = 0; // of the block; 0 while not yet found
    std::size_t m_nBlockBytes = 0;
    double m_tHunt = 0;
    double m_tBlockStart = 0;
    double m_tLastByteEnd = 0;
    double m_tTrailMark = 0;             // where the last byte's trailing mark began,
    int m_nTrailCells = 0;               // how many cells it filled
    double m_dTrailBit = 0;              // and the bit period the byte showed up to it
    bool m_bResumeWithoutLeader = false; // a block cut by a long loss goes on
    bool m_bOnGrid = false;              // the last byte was clean: the next starts where it ended
};
