// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder's third and last stages alone: runs of one tone to framed
// bytes and breaks, and framed bytes to records with their faults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <numbers>

#include "audio/ByteFramer.h"
#include "audio/RecordAssembler.h"

namespace {

// Runs as a tape holds them: tones appended one after the other, a tone
// that goes on extending the run under way.
class CRuns {
  public:
    void Add(CarrierTone tone, double seconds) {
        if (!m_runs.empty() && m_runs.back().tone == tone)
            m_runs.back().t1 += seconds;
        else
            m_runs.push_back(CToneRun{tone, m_t, m_t + seconds, 1.0});
        m_t += seconds;
    }
    // A byte framed as the PC-8801 writes it at nBaud (or cut short
    // before its stop bits).
    void Byte(std::uint8_t value, int nBaud, bool bStopBits = true) {
        const double tb = 1.0 / nBaud;
        Add(CarrierTone::space, tb);
        for (int i = 0; i < 8; ++i)
            Add((value >> i & 1) != 0 ? CarrierTone::mark : CarrierTone::space, tb);
        if (bStopBits)
            Add(CarrierTone::mark, 2 * tb);
    }
    double Now() const { return m_t; }
    const std::vector<CToneRun>& Get() const { return m_runs; }

  private:
    std::vector<CToneRun> m_runs;
    double m_t = 0;
};

// What the framer told, one line per call.
class CFramerLog final : public CByteFramerSink {
  public:
    void OnBlockStart(double tEdge, double, int nBaud) override {
        lines.push_back("start " + std::to_string(nBaud) + " at " + Ms(tEdge));
    }
    void OnLostByte(double t) override { lines.push_back("lost at " + Ms(t)); }
    void OnByte(const CFramedByte& byte) override {
        char text[64];
        std::snprintf(text, sizeof text, "%02X%s%s%s", byte.nValue,
                      byte.HasFramingError() ? " framing" : "",
                      byte.IsUndecided() ? " undecided" : "", byte.bJumpBefore ? " jump" : "");
        lines.push_back(text);
    }
    void OnBlockEnd() override { lines.push_back("end"); }
    static std::string Ms(double t) { return std::to_string(std::lround(t * 1000)); }

    std::vector<std::string> lines;
};

std::vector<std::string> Frame(const CRuns& runs, int nForceBaud = 0,
                               const CCellTones* pTones = nullptr) {
    CFramerLog log;
    CByteFramer framer(log, nForceBaud);
    framer.SetCellTones(pTones);
    for (const CToneRun& run : runs.Get())
        framer.OnRun(run, 1.0);
    framer.Finish(1.0);
    return log.lines;
}

// Bytes after a leader are framed one call each, at the speed their cells
// show, and the block ends where the idle mark goes on.
TEST(ByteFramer, BytesAfterALeaderAreFramedAtTheirOwnSpeed) {
    for (const int nBaud : {1200, 600}) {
        CRuns runs;
        runs.Add(CarrierTone::mark, 0.1);
        for (const std::uint8_t b : {0x00, 0xFF, 0x3A, 0x81, 0x55})
            runs.Byte(b, nBaud);
        runs.Add(CarrierTone::mark, 0.5);
        const std::vector<std::string> want = {
            "start " + std::to_string(nBaud) + " at 100", "00", "FF", "3A", "81", "55", "end"};
        EXPECT_EQ(Frame(runs), want) << nBaud;
    }
}

// Steady space longer than any byte holds is a break: it ends the block
// and is no byte. A stop bit of space is a framing error, and the next
// start bit is found in it; idle of 0.6 bit after a clean byte is a
// jump of the signal.
TEST(ByteFramer, LongSpaceIsABreakAndSpaceStopBitsAFramingError) {
    CRuns runs;
    runs.Add(CarrierTone::mark, 0.1);
    runs.Byte(0x12, 1200);
    runs.Byte(0x34, 1200);
    runs.Add(CarrierTone::space, 0.3);
    runs.Add(CarrierTone::mark, 0.1);
    runs.Byte(0xC3, 1200, false);
    runs.Byte(0x5A, 1200);
    runs.Add(CarrierTone::mark, 0.6 / 1200);
    runs.Byte(0x66, 1200);
    runs.Add(CarrierTone::mark, 0.5);
    EXPECT_EQ(Frame(runs),
              (std::vector<std::string>{"start 1200 at 100", "12", "34", "end", "start 1200 at 518",
                                        "C3 framing", "5A", "66 jump", "end"}));
}

// A speed given is the speed of every block, and mark too short for a
// leader starts none.
TEST(ByteFramer, ForcedSpeedAndNoBlockWithoutALeader) {
    CRuns runs;
    runs.Add(CarrierTone::mark, 0.01);
    runs.Byte(0x77, 1200);
    runs.Add(CarrierTone::mark, 0.1);
    runs.Byte(0x0F, 600);
    runs.Add(CarrierTone::mark, 0.5);
    EXPECT_EQ(Frame(runs, 600), (std::vector<std::string>{"start 600 at 119", "0F", "end"}));
}

// The band-passed samples of the tones of runs, at 44.1 kHz, as the
// conditioner sees them: each stretch of space ends a half-period of mark
// before the runs end it (the filters lengthen that half-period).
CCellTones Tones(const CRuns& runs) {
    constexpr double kRate = 44100, kLate = 0.5 / 2400;
    CCellTones tones(kRate);
    double phase = 0;
    auto run = runs.Get().begin();
    for (int n = 0; n / kRate < runs.Now(); ++n) {
        const double t = n / kRate;
        while (run->t1 - (run->tone == CarrierTone::space ? kLate : 0) <= t)
            ++run;
        phase += 2 * std::numbers::pi * (run->tone == CarrierTone::space ? 1200 : 2400) / kRate;
        tones.Push(0.3 * std::sin(phase));
    }
    return tones;
}

// Where the tones under a cell tell another bit than its runs (a lossy
// file can move the crossings), the bit is undecided; where they agree,
// nothing is named, at either speed.
TEST(ByteFramer, ABitTheTonesUnderItContradictIsUndecided) {
    for (const int nBaud : {1200, 600}) {
        CRuns runs, heard;
        for (CRuns* r : {&runs, &heard}) {
            r->Add(CarrierTone::mark, 0.1);
            r->Byte(0x3A, nBaud);
            r->Byte(r == &runs ? 0x81 : 0x89, nBaud);
            r->Byte(0x55, nBaud);
            r->Add(CarrierTone::mark, 0.3);
        }
        const std::string start = "start " + std::to_string(nBaud) + " at 100";
        const CCellTones same = Tones(runs), other = Tones(heard);
        EXPECT_EQ(Frame(runs, 0, &same), (std::vector<std::string>{start, "3A", "81", "55", "end"}))
            << nBaud;
        EXPECT_EQ(Frame(runs, 0, &other),
                  (std::vector<std::string>{start, "3A", "81 undecided", "55", "end"}))
            << nBaud;
    }
}

// Framed bytes as the framer would give them: clean cells of value at t.
CFramedByte Framed(std::uint8_t value, double t, double tb = 1.0 / 1200, double margin = 0.9) {
    CFramedByte byte{};
    for (int i = 0; i <= kBitsPerByte; ++i)
        byte.cells.edges[i] = t + i * tb;
    for (int i = 0; i < kBitsPerByte; ++i) {
        byte.cells.bits[i] = i == 0 ? false : i > 8 ? true : (value >> (i - 1) & 1) != 0;
        byte.cells.margin[i] = margin;
    }
    byte.dBit = tb;
    byte.nValue = value;
    return byte;
}

struct CRecord {
    std::uint32_t nStart, nDuration;
    int nBaud;
    std::vector<std::uint8_t> bytes, confidence;
    std::vector<CByteFaultAt> faults;
};

class CRecordLog final : public CDecodedRecordSink {
  public:
    void OnRecord(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                  std::span<const std::uint8_t> bytes, std::span<const CByteFaultAt> faults,
                  std::span<const std::uint8_t> confidence) override {
        records.push_back({nStart,
                           nDuration,
                           nBaud,
                           {bytes.begin(), bytes.end()},
                           {confidence.begin(), confidence.end()},
                           {faults.begin(), faults.end()}});
    }
    void OnGap(TapeGap kind, std::uint32_t nStart, std::uint32_t nDuration) override {
        gaps.push_back({kind, nStart, nDuration});
    }
    struct Gap {
        TapeGap kind;
        std::uint32_t nStart, nDuration;
    };
    std::vector<CRecord> records;
    std::vector<Gap> gaps;
};

// Where each byte lies, as an observer of the cells is told.
class CCellLog final : public CByteCellObserver {
  public:
    void OnByteCells(const CByteCells& c) override { cells.push_back(c); }
    std::vector<CByteCells> cells;
};

constexpr double kFrame = 11.0 / 1200;

// Clean bytes make one record with their ticks, the gaps before (outer up
// to the leader, the leader inner) and after, each byte's confidence from
// its margin, and where each lies for an observer of the cells.
TEST(RecordAssembler, CleanBytesMakeARecordBetweenItsGaps) {
    CRecordLog log;
    CCellLog where;
    CRecordAssembler records(log);
    records.SetCellObserver(&where);
    records.OnBlockStart(1.0, 0.5, 1200);
    records.OnByte(Framed(0x41, 1.0));
    records.OnByte(Framed(0x42, 1.0 + kFrame, 1.0 / 1200, 0.5));
    records.OnBlockEnd();
    records.Finish(2.0);
    ASSERT_EQ(log.records.size(), 1u);
    const CRecord& r = log.records[0];
    EXPECT_EQ(r.nStart, 4800u);
    EXPECT_EQ(r.nDuration, 88u);
    EXPECT_EQ(r.nBaud, 1200);
    EXPECT_EQ(r.bytes, (std::vector<std::uint8_t>{0x41, 0x42}));
    EXPECT_EQ(r.confidence, (std::vector<std::uint8_t>{230, 128}));
    EXPECT_TRUE(r.faults.empty());
    ASSERT_EQ(where.cells.size(), 2u);
    EXPECT_EQ(where.cells[1].nIndex, 1u);
    EXPECT_EQ(where.cells[1].nBaud, 1200);
    EXPECT_DOUBLE_EQ(where.cells[1].edges[0], 1.0 + kFrame);
    EXPECT_FALSE(where.cells[1].bLost);
    ASSERT_EQ(log.gaps.size(), 3u);
    EXPECT_EQ(log.gaps[0].kind, TapeGap::outer);
    EXPECT_EQ(log.gaps[0].nDuration, 2400u);
    EXPECT_EQ(log.gaps[1].kind, TapeGap::inner);
    EXPECT_EQ(log.gaps[1].nDuration, 2400u);
    EXPECT_EQ(log.gaps[2].nStart, 4888u);
    EXPECT_EQ(log.gaps[2].nDuration, 9600u - 4888u);
}

// A faulty byte is kept with the readings of its weakest bits; a clean
// byte a frame later than the faulty ones before it fill says a byte is
// missing there, and names the clean byte before them; a jump names the
// byte before it; a lost byte is 0.
TEST(RecordAssembler, FaultsSlipsJumpsAndLostBytesAreNamed) {
    CRecordLog log;
    CCellLog where;
    CRecordAssembler records(log);
    records.SetCellObserver(&where);
    records.OnBlockStart(0.0, 0.1, 1200);
    records.OnByte(Framed(0x10, 0.0));
    CFramedByte weak = Framed(0x20, kFrame);
    weak.cells.bits[10] = false; // a stop bit of space
    weak.cells.margin[3] = 0.1;  // data bit 2 the weakest, then bit 5
    weak.cells.margin[6] = 0.2;
    records.OnByte(weak);
    records.OnByte(Framed(0x30, 3 * kFrame)); // one frame more than the bytes between fill
    CFramedByte jumped = Framed(0x40, 4.4 * kFrame);
    jumped.bJumpBefore = true;
    records.OnByte(jumped);
    records.OnLostByte(5.4 * kFrame);
    records.OnBlockEnd();
    ASSERT_EQ(log.records.size(), 1u);
    const CRecord& r = log.records[0];
    EXPECT_EQ(r.bytes, (std::vector<std::uint8_t>{0x10, 0x20, 0x30, 0x40, 0x00}));
    EXPECT_EQ(r.confidence, (std::vector<std::uint8_t>{0, 0, 0, 230, 0}));
    ASSERT_EQ(r.faults.size(), 4u);
    // The clean byte before the step is named too: it may hold the splice.
    EXPECT_EQ(r.faults[0].nIndex, 0u);
    EXPECT_EQ(r.faults[0].fault, ByteFault::undecided);
    EXPECT_EQ(r.faults[0].nAlternatives, 0);
    EXPECT_EQ(r.faults[1].nIndex, 1u);
    EXPECT_EQ(r.faults[1].fault, ByteFault::slip);
    EXPECT_EQ(r.faults[1].nSlip, 1);
    EXPECT_EQ(r.faults[1].nAlternatives, 3);
    EXPECT_EQ(r.faults[1].alternatives[0], 0x24);
    EXPECT_EQ(r.faults[1].alternatives[1], 0x00);
    EXPECT_EQ(r.faults[1].alternatives[2], 0x04);
    EXPECT_EQ(r.faults[2].nIndex, 2u);
    EXPECT_EQ(r.faults[2].fault, ByteFault::slip);
    EXPECT_EQ(r.faults[2].nSlip, 0);
    EXPECT_EQ(r.faults[3].nIndex, 4u);
    EXPECT_EQ(r.faults[3].fault, ByteFault::lost);
    EXPECT_EQ(records.GetByteCount(), 5u);
    EXPECT_EQ(records.GetFaultCount(), 4u);
    EXPECT_EQ(records.GetCleanCount(), 1u);
    ASSERT_EQ(where.cells.size(), 5u);
    EXPECT_TRUE(where.cells[4].bLost);
    EXPECT_EQ(where.cells[4].nIndex, 4u);
    EXPECT_DOUBLE_EQ(where.cells[4].edges[11], 6.4 * kFrame);
}

// A byte whose runs were clear but whose tones a bit doubts is named, yet
// keeps the bytes' timing: bytes missing after it are told after it, and
// no clean byte before it is named for them.
TEST(RecordAssembler, AByteOnlyItsTonesDoubtStaysInStep) {
    CRecordLog log;
    CRecordAssembler records(log);
    records.OnBlockStart(0.0, 0.1, 1200);
    records.OnByte(Framed(0x10, 0.0));
    CFramedByte doubted = Framed(0x20, kFrame);
    doubted.cells.undecided[4] = true;
    doubted.cells.margin[4] = 0.0;
    doubted.bTonesDisagree = true;
    records.OnByte(doubted);
    CFramedByte broken = Framed(0x30, 2 * kFrame);
    broken.cells.bits[9] = false;
    records.OnByte(broken);
    records.OnByte(Framed(0x40, 4 * kFrame)); // a frame after the broken byte is missing
    records.OnBlockEnd();
    ASSERT_EQ(log.records.size(), 1u);
    const CRecord& r = log.records[0];
    EXPECT_EQ(r.confidence, (std::vector<std::uint8_t>{230, 0, 0, 230}));
    ASSERT_EQ(r.faults.size(), 2u);
    EXPECT_EQ(r.faults[0].nIndex, 1u);
    EXPECT_EQ(r.faults[0].fault, ByteFault::undecided);
    EXPECT_EQ(r.faults[0].alternatives[0], 0x28);
    EXPECT_EQ(r.faults[1].nIndex, 2u);
    EXPECT_EQ(r.faults[1].fault, ByteFault::slip);
    EXPECT_EQ(r.faults[1].nSlip, 1);
}

// A byte a splice falls in is named as the place where bytes may be
// missing or extra, even when its cells read cleanly; when the timing of
// the clean bytes after it counts them, it says how many.
TEST(RecordAssembler, AByteHoldingASpliceSaysBytesMayBeMissing) {
    CRecordLog log;
    CRecordAssembler records(log);
    records.OnBlockStart(0.0, 0.1, 1200);
    for (const auto& [value, t] : {std::pair{0x20, 1.0}, {0x40, 3.0}}) {
        records.OnByte(Framed(static_cast<std::uint8_t>(value - 0x10), (t - 1) * kFrame));
        CFramedByte spliced = Framed(static_cast<std::uint8_t>(value), t * kFrame);
        spliced.bJumpIn = true;
        records.OnByte(spliced);
    }
    // After the first the bytes are in step (how many went is not known),
    // after the second two frames late: two bytes missing. The clean byte
    // before the second is not named: the splice is known to be after it.
    records.OnByte(Framed(0x50, 6 * kFrame));
    records.OnBlockEnd();
    ASSERT_EQ(log.records.size(), 1u);
    const CRecord& r = log.records[0];
    EXPECT_EQ(r.confidence, (std::vector<std::uint8_t>{230, 0, 230, 0, 230}));
    ASSERT_EQ(r.faults.size(), 2u);
    EXPECT_EQ(r.faults[0].nIndex, 1u);
    EXPECT_EQ(r.faults[0].fault, ByteFault::slip);
    EXPECT_EQ(r.faults[0].nSlip, 0);
    EXPECT_EQ(r.faults[1].nIndex, 3u);
    EXPECT_EQ(r.faults[1].fault, ByteFault::slip);
    EXPECT_EQ(r.faults[1].nSlip, 2);
}

// A clean byte a sixth of a frame (under two bits) out of step with the
// clean one before a faulty byte says bytes went there (a splice of close
// to a whole number of them); over many faulty bytes only a quarter of a
// frame does, since the speed error builds up.
TEST(RecordAssembler, ACleanByteOutOfStepByTwoBitsAfterOneFaultyByteIsASlip) {
    for (const int nFaulty : {1, 5}) {
        CRecordLog log;
        CRecordAssembler records(log);
        records.OnBlockStart(0.0, 0.1, 1200);
        records.OnByte(Framed(0x10, 0.0));
        for (int i = 1; i <= nFaulty; ++i) {
            CFramedByte broken = Framed(0x20, i * kFrame);
            broken.cells.bits[9] = false;
            records.OnByte(broken);
        }
        records.OnByte(Framed(0x30, (nFaulty + 1 - 1.0 / 6) * kFrame));
        records.OnBlockEnd();
        ASSERT_EQ(log.records.size(), 1u);
        ASSERT_EQ(log.records[0].faults.size(), static_cast<std::size_t>(nFaulty));
        EXPECT_EQ(log.records[0].faults[0].fault,
                  nFaulty == 1 ? ByteFault::slip : ByteFault::framing);
        EXPECT_EQ(log.records[0].faults[0].nSlip, 0);
    }
}

} // namespace
