// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ByteFramer.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Time line. A leader is at least kMinLeader of mark (a byte never holds
// more than 10 bit periods of mark: 17 ms at 600 baud). Mark of kBlockGap
// or more ends a block; no carrier for up to kMaxDropout inside a block
// is a dropout, longer ends it.
constexpr double kMinLeader = 0.030;
constexpr double kBlockGap = 0.25;
constexpr double kMaxDropout = 1.0;
constexpr double kGlitch = 0.0005; // shorter non-mark runs do not break a leader
constexpr double kHistory = 0.5;   // runs kept behind the reading position

// Baud from bit cells: runs measured in 1200-baud bit periods; the share of
// odd ones that marks 1200 baud; how many runs are enough to judge.
constexpr double kUnitTolerance = 0.3;
constexpr int kOddShareDivisor = 10;
constexpr std::size_t kBaudRuns = 64;
// ... and how many bytes are read at both speeds, how many more clean ones
// one speed must give to win over the runs' count.
constexpr int kTrialBytes = 8;
constexpr int kTrialLead = 3;

// Cells: how far an edge may be from where a cell should end to set it;
// how clearly one tone must fill a cell.
constexpr double kResync = 0.3;
constexpr double kClear = 0.35;
// The second opinion on a cell, from the energy of each tone in it: how
// clearly it must agree with the runs; how many half-periods of mark late
// the runs end a stretch of space.
constexpr double kTonesClear = 0.3;
constexpr double kSpaceToMarkLate = 0.5;

// Breaks: space over most of this time, which is longer than the space of
// any byte at 600 baud (a 00: start and eight data bits, 15 ms).
constexpr double kLongestSpace = 0.0175;
constexpr double kBreakShare = 0.8;

// Idle after a clean byte: from this many bit periods, and this far from a
// whole number of them, the bytes jumped out of step.
constexpr double kShortestIdle = 0.5;
constexpr double kIdlePhase = 0.3;

// A cells' start bit, data and stop bits all clear, the stop bits mark.
bool IsCleanFrame(const CBitCells& cells) {
    bool bClean = !cells.bits[0] && cells.bits[kBitsPerByte - 1] && cells.bits[kBitsPerByte - 2];
    for (int c = 0; c < kBitsPerByte; ++c)
        bClean = bClean && !cells.undecided[c];
    return bClean;
}

} // namespace

bool CFramedByte::IsUndecided() const {
    return bBadSample || std::any_of(std::begin(cells.undecided), std::end(cells.undecided),
                                     [](bool b) { return b; });
}

double CFramedByte::Margin() const {
    return std::min(1.0, *std::min_element(std::begin(cells.margin), std::end(cells.margin)));
}

CByteFramer::CByteFramer(CByteFramerSink& sink, int nForceBaud)
    : m_sink(sink),
      m_nForceBaud(nForceBaud == kBaudSlow || nForceBaud == kBaudFast ? nForceBaud : 0) {
    m_nBaud = m_nForceBaud;
}

void CByteFramer::OnRun(const CToneRun& run, double dSpeedNow) {
    m_dSpeedNow = dSpeedNow;
    m_runs.push_back(run);
    Process(false);
}

void CByteFramer::Finish(double dSpeedNow) {
    m_dSpeedNow = dSpeedNow;
    Process(true);
    if (m_bInBlock)
        EndBlock();
    m_runs.clear();
}

void CByteFramer::Process(bool bFinal) {
    for (;;) {
        std::size_t k = 0;
        double tEdge = 0;
        if (!m_bInBlock) {
            if (!FindStartEdge(m_tHunt, k, tEdge)) {
                if (!m_runs.empty())
                    DropRunsBefore(m_runs.back().t1);
                return;
            }
            const double leader = MarkBefore(k);
            if (leader < kMinLeader && !m_bResumeWithoutLeader) {
                m_tHunt = std::nextafter(tEdge, 1e300);
                continue;
            }
            m_bResumeWithoutLeader = false;
            if (m_nBaud == 0 && !DecideBaud(k, tEdge, bFinal))
                return;
            BeginBlock(tEdge, leader);
        }

        if (!FindStartEdge(m_tHunt, k, tEdge)) {
            const bool bOver = !m_runs.empty() && m_runs.back().t1 > m_tLastByteEnd + kMaxDropout;
            if (bFinal || bOver) {
                EndBlock();
                continue;
            }
            return;
        }
        std::size_t nLost = 0;
        bool bForced = false;
        bool bShortIdle = false; // idle mark after a clean byte, less than a byte long
        const double tb = BitSeconds(m_nBaud) * SpeedAt(tEdge);
        if (m_nBlockBytes != 0) {
            const double since = tEdge - m_tLastByteEnd;
            const double none = NoneBetween(m_tLastByteEnd, tEdge);
            const double mark = MarkBefore(k);
            // Mark long enough to be idle ends a block; so does a loss of
            // carrier that lasts too long or that a leader follows.
            if (mark >= kBlockGap ||
                (none > 0.5 * tb && (since > kMaxDropout || mark >= kMinLeader))) {
                if (none > 0.5 * tb && mark < kMinLeader) {
                    // Data again after a long loss, without a leader: the
                    // block was cut. Say so, and go on in a new one.
                    Lost(m_tLastByteEnd);
                    m_bResumeWithoutLeader = true;
                }
                EndBlock();
                continue;
            }
            if (none > 0.5 * tb) {
                bool bWait = false;
                tEdge = ResumeEdge(k, tEdge, bFinal, bWait);
                if (bWait)
                    return;
                nLost = static_cast<std::size_t>(
                    std::lround(std::max(0.0, tEdge - m_tLastByteEnd) / (kBitsPerByte * tb)));
            } else if (m_bOnGrid) {
                // Bytes follow back to back: space before the edge found
                // means the start bit where the last byte ended was not
                // seen clearly. The byte is read there, not from an edge
                // inside it.
                double markTime = 0, spaceTime = 0, noneTime = 0;
                ToneTimes(m_tLastByteEnd, tEdge, markTime, spaceTime, noneTime);
                if (spaceTime > 0.4 * tb) {
                    tEdge = m_tLastByteEnd;
                    bForced = true;
                } else {
                    // Counted from the last tone edge of that byte, in its
                    // own bit period: no speed error builds up over its
                    // trailing mark.
                    bShortIdle = IsOutOfStep((tEdge - m_tTrailMark) / m_dTrailBit - m_nTrailCells);
                }
            }
        }
        CFramedByte byte;
        CBitCells& cells = byte.cells;
        if (!DecodeCells(tEdge, bFinal, cells, m_nBaud))
            return;
        if (cells.bits[0] && !bForced) {
            m_tHunt = std::nextafter(tEdge, 1e300); // not a start bit after all
            continue;
        }
        if (std::none_of(std::begin(cells.bits), std::end(cells.bits), [](bool b) { return b; })) {
            // Space all through the frame: a break (steady low tone, as
            // tools play the spaces of a tape image) if it lasts longer
            // than any byte at either speed holds space.
            const double len = std::max(kBitsPerByte * tb, kLongestSpace * SpeedAt(tEdge));
            if (!bFinal && m_runs.back().t1 < tEdge + len)
                return;
            double markTime = 0, spaceTime = 0, noneTime = 0;
            ToneTimes(tEdge, tEdge + len, markTime, spaceTime, noneTime);
            if (spaceTime >= kBreakShare * len) {
                EndBlock();
                m_bResumeWithoutLeader = false;
                m_tHunt = std::max(m_tHunt, tEdge + len);
                continue;
            }
        }
        if (cells.bits[0])
            cells.undecided[0] = true;
        // The runs alone keep the bytes in step; the second opinion only
        // names bytes.
        const bool bRunsClean =
            IsCleanFrame(cells) && !HasBadSample(tEdge, cells.edges[kBitsPerByte]);
        WeighCells(cells, m_nBaud);
        for (std::size_t i = 0; i < nLost; ++i)
            Lost(m_tLastByteEnd + static_cast<double>(i) * kBitsPerByte * tb);

        byte.dBit = tb;
        byte.nValue = 0;
        for (int i = 0; i < kDataBits; ++i)
            byte.nValue |= static_cast<std::uint8_t>(cells.bits[1 + i] ? 1u << i : 0u);
        byte.bBadSample = HasBadSample(tEdge, byte.End());
        byte.bJumpBefore = bShortIdle;
        byte.bJumpIn = HasOddHalf(tEdge, byte.End());
        byte.bTonesDisagree = bRunsClean && !byte.IsClean();
        m_sink.OnByte(byte);
        ++m_nBlockBytes;

        // The next start bit may come where a stop bit failed.
        int nHuntCell = kBitsPerByte;
        for (int i = 1 + kDataBits; i < kBitsPerByte; ++i) {
            if (!cells.bits[i]) {
                nHuntCell = i;
                break;
            }
        }
        m_tLastByteEnd = byte.End();
        int nTrail = kBitsPerByte;
        while (nTrail > 1 && cells.bits[nTrail - 1])
            --nTrail;
        m_tTrailMark = cells.edges[nTrail];
        m_nTrailCells = kBitsPerByte - nTrail;
        m_dTrailBit = nTrail >= 3 ? (cells.edges[nTrail] - tEdge) / nTrail : tb;
        m_bOnGrid = bRunsClean;
        m_tHunt = cells.edges[nHuntCell] - 0.4 * tb;
        DropRunsBefore(std::min(m_tHunt, m_tLastByteEnd));
    }
}

void CByteFramer::Lost(double t) {
    m_sink.OnLostByte(t);
    ++m_nBlockBytes;
}

bool CByteFramer::IsOutOfStep(double bits) {
    // Idle of whole bit periods is a writer's pause (or an extra stop bit);
    // up to a byte of idle out of step with the bit cells is not.
    const double whole = std::round(bits);
    return bits > kShortestIdle && bits < kBitsPerByte - 0.5 &&
           std::fabs(bits - whole) > kIdlePhase;
}

bool CByteFramer::HasBadSample(double t0, double t1) {
    while (!m_badSamples.empty() && m_badSamples.front() < t0 - kHistory)
        m_badSamples.pop_front();
    return std::any_of(m_badSamples.begin(), m_badSamples.end(),
                       [=](double t) { return t >= t0 && t < t1; });
}

bool CByteFramer::HasOddHalf(double t0, double t1) {
    while (!m_oddHalves.empty() && m_oddHalves.front() < t0 - kHistory)
        m_oddHalves.pop_front();
    return std::any_of(m_oddHalves.begin(), m_oddHalves.end(),
                       [=](double t) { return t >= t0 && t < t1; });
}

double CByteFramer::ResumeEdge(std::size_t nRun, double tFirst, bool bFinal, bool& bWait) const {
    // Where the carrier comes back, the first edge may lie inside a byte.
    // The start of a byte is the edge from which two bytes read cleanly
    // back to back; failing that, the first edge.
    const double tb = BitSeconds(m_nBaud) * SpeedAt(tFirst);
    double tEdge = tFirst;
    std::size_t k = nRun;
    while (tEdge < tFirst + kBitsPerByte * tb) {
        CBitCells first, second;
        if (!DecodeCells(tEdge, bFinal, first, m_nBaud) ||
            !DecodeCells(first.edges[kBitsPerByte], bFinal, second, m_nBaud)) {
            bWait = !bFinal;
            return tFirst;
        }
        if (IsCleanFrame(first) && IsCleanFrame(second))
            return tEdge;
        if (!FindStartEdge(std::nextafter(tEdge, 1e300), k, tEdge))
            break;
    }
    return tFirst;
}

bool CByteFramer::FindStartEdge(double tFrom, std::size_t& nRun, double& tEdge) const {
    auto it = std::partition_point(m_runs.begin(), m_runs.end(),
                                   [tFrom](const Run& r) { return r.t1 < tFrom; });
    for (; it != m_runs.end() && it + 1 != m_runs.end(); ++it) {
        if (it->tone == Tone::mark && (it + 1)->tone == Tone::space && it->t1 >= tFrom) {
            nRun = static_cast<std::size_t>(it + 1 - m_runs.begin());
            tEdge = it->t1;
            return true;
        }
    }
    return false;
}

double CByteFramer::MarkBefore(std::size_t nRun) const {
    double mark = 0;
    for (std::size_t i = nRun; i-- > 0;) {
        const Run& r = m_runs[i];
        const double d = r.t1 - r.t0;
        if (r.tone == Tone::mark)
            mark += d;
        else if (d >= kGlitch)
            break;
    }
    return mark;
}

double CByteFramer::NoneBetween(double t0, double t1) const {
    double mark = 0, space = 0, none = 0;
    ToneTimes(t0, t1, mark, space, none);
    return none;
}

bool CByteFramer::DecideBaud(std::size_t nFirst, double tEdge, bool bFinal) {
    std::size_t nTotal = 0, nOdd = 0;
    bool bEnough = false;
    for (std::size_t i = nFirst; i < m_runs.size(); ++i) {
        const Run& r = m_runs[i];
        const double d = r.t1 - r.t0;
        if (r.tone == Tone::none || (r.tone == Tone::mark && d >= kMinLeader)) {
            bEnough = true; // the block (or its first stretch) ends here
            break;
        }
        const double units = d / (BitSeconds(kBaudFast) * r.speed);
        const long n = std::lround(units);
        if (n >= 1 && std::fabs(units - static_cast<double>(n)) <= kUnitTolerance) {
            ++nTotal;
            nOdd += static_cast<std::size_t>(n & 1);
        }
        if (i + 1 - nFirst >= kBaudRuns) {
            bEnough = true;
            break;
        }
    }
    if (!bEnough && !bFinal)
        return false;
    // The first bytes read at each speed: where one speed reads clearly
    // more of them cleanly (a signal whose run lengths were bent, by an
    // all-pass or a lossy file, misleads the count of odd runs), it wins.
    const int nFast = CleanBytesFrom(tEdge, kBaudFast, bFinal);
    const int nSlow = CleanBytesFrom(tEdge, kBaudSlow, bFinal);
    if (nFast < 0 || nSlow < 0)
        return false;
    bool bFast = nTotal == 0 || (nOdd >= 1 && nOdd * kOddShareDivisor >= nTotal);
    if (nFast >= nSlow + kTrialLead)
        bFast = true;
    else if (nSlow >= nFast + kTrialLead)
        bFast = false;
    m_nBaud = bFast ? kBaudFast : kBaudSlow;
    return true;
}

int CByteFramer::CleanBytesFrom(double tEdge, int nBaud, bool bFinal) const {
    int nClean = 0;
    double t = tEdge;
    for (int i = 0; i < kTrialBytes; ++i) {
        CBitCells cells;
        if (!DecodeCells(t, bFinal, cells, nBaud))
            return bFinal ? nClean : -1;
        nClean += IsCleanFrame(cells) ? 1 : 0;
        // The next byte where this one ended, or at the next start edge
        // close after it; a pause ends the trial.
        const double tb = BitSeconds(nBaud) * SpeedAt(t);
        const double tEnd = cells.edges[kBitsPerByte];
        std::size_t k = 0;
        double tNext = 0;
        if (!FindStartEdge(tEnd - 0.4 * tb, k, tNext) || tNext > tEnd + 2 * tb)
            break;
        t = tNext;
    }
    return nClean;
}

bool CByteFramer::DecodeCells(double tEdge, bool bFinal, CBitCells& cells, int nBaud) const {
    const double tb = BitSeconds(nBaud) * SpeedAt(tEdge);
    if (!bFinal && (m_runs.empty() || m_runs.back().t1 < tEdge + (kBitsPerByte + 1) * tb))
        return false;

    cells.edges[0] = tEdge;
    auto it = std::partition_point(m_runs.begin(), m_runs.end(),
                                   [tEdge](const Run& r) { return r.t1 <= tEdge; });
    auto itCell = it; // the first run that ends after the cell's start
    for (int i = 0; i < kBitsPerByte; ++i) {
        const double start = cells.edges[i];
        const double nominal = start + tb;
        double end = nominal;
        // The tone edge nearest to where the cell should end, if close.
        while (it != m_runs.end() && it->t1 < nominal - kResync * tb)
            ++it;
        double best = kResync * tb;
        for (auto j = it; j != m_runs.end() && j + 1 != m_runs.end(); ++j) {
            if (j->t1 > nominal + kResync * tb)
                break;
            const Tone a = j->tone, b = (j + 1)->tone;
            if (a != Tone::none && b != Tone::none && a != b && std::fabs(j->t1 - nominal) < best &&
                j->t1 > start + 0.5 * tb) {
                best = std::fabs(j->t1 - nominal);
                end = j->t1;
            }
        }
        cells.edges[i + 1] = end;
        while (itCell != m_runs.end() && itCell->t1 <= start)
            ++itCell;
        double mark = 0, space = 0, none = 0;
        ToneTimesFrom(itCell, start, end, mark, space, none);
        const double len = end - start;
        cells.bits[i] = mark >= space;
        cells.margin[i] = none >= 0.5 * len ? 0.0 : std::fabs(mark - space) / len;
        cells.undecided[i] = cells.margin[i] < kClear;
    }
    return true;
}

void CByteFramer::WeighCells(CBitCells& cells, int nBaud) const {
    if (m_pCellTones == nullptr)
        return;
    // The band-pass lengthens the first half-period of mark after space,
    // so that the runs end each stretch of space about a half-period of
    // mark late. Each cell is weighed over one bit period about its middle,
    // with those edges moved back.
    const double speed = SpeedAt(cells.edges[0]);
    const double tb = BitSeconds(nBaud) * speed;
    const double late = kSpaceToMarkLate / kMarkHz * speed;
    double edges[kBitsPerByte + 1];
    for (int i = 0; i <= kBitsPerByte; ++i) {
        const bool bSpaceBefore = i != 0 && !cells.bits[i - 1];
        const bool bMarkAfter = i == kBitsPerByte || cells.bits[i];
        edges[i] = cells.edges[i] - (bSpaceBefore && bMarkAfter ? late : 0.0);
    }
    for (int i = 0; i < kBitsPerByte; ++i) {
        const double mid = 0.5 * (edges[i] + edges[i + 1]);
        double share = 0;
        if (!m_pCellTones->MarkShare(mid - 0.5 * tb, mid + 0.5 * tb, MarkCyclesPerBit(nBaud),
                                     SpaceCyclesPerBit(nBaud), share))
            continue;
        // Opinions that differ, or one not clear, leave the bit undecided,
        // with the other reading first among the alternatives.
        const double margin = (share >= 0) == cells.bits[i] ? std::fabs(share) : 0.0;
        if (margin < kTonesClear) {
            cells.undecided[i] = true;
            cells.margin[i] = std::min(cells.margin[i], margin);
        }
    }
}

void CByteFramer::ToneTimes(double t0, double t1, double& mark, double& space, double& none) const {
    ToneTimesFrom(std::partition_point(m_runs.begin(), m_runs.end(),
                                       [t0](const Run& r) { return r.t1 <= t0; }),
                  t0, t1, mark, space, none);
}

void CByteFramer::ToneTimesFrom(std::deque<Run>::const_iterator it, double t0, double t1,
                                double& mark, double& space, double& none) const {
    mark = space = 0;
    double covered = 0;
    double noneRuns = 0;
    for (; it != m_runs.end() && it->t0 < t1; ++it) {
        const double d = std::min(it->t1, t1) - std::max(it->t0, t0);
        if (d <= 0)
            continue;
        covered += d;
        if (it->tone == Tone::mark)
            mark += d;
        else if (it->tone == Tone::space)
            space += d;
        else
            noneRuns += d;
    }
    // What no run covers (the end of the recording) has no carrier.
    none = noneRuns + std::max(0.0, (t1 - t0) - covered);
}

double CByteFramer::SpeedAt(double t) const {
    auto it =
        std::partition_point(m_runs.begin(), m_runs.end(), [t](const Run& r) { return r.t1 < t; });
    if (it == m_runs.end())
        return m_dSpeedNow;
    return it->speed;
}

void CByteFramer::BeginBlock(double tEdge, double dLeader) {
    m_sink.OnBlockStart(tEdge, dLeader, m_nBaud);
    m_bInBlock = true;
    m_nBlockBytes = 0;
    m_tBlockStart = tEdge;
    m_tLastByteEnd = tEdge;
    m_tHunt = tEdge;
    m_bOnGrid = false;
}

void CByteFramer::EndBlock() {
    m_bInBlock = false;
    m_sink.OnBlockEnd();
    // Hunting goes on after the last byte; after a block that found none,
    // after its start edge, which is not to be taken again.
    m_tHunt = m_nBlockBytes == 0 ? std::max(m_tHunt, std::nextafter(m_tBlockStart, 1e300))
                                 : m_tLastByteEnd;
    m_nBlockBytes = 0;
    m_nBaud = m_nForceBaud;
}

void CByteFramer::DropRunsBefore(double t) {
    while (!m_runs.empty() && m_runs.front().t1 < t - kHistory)
        m_runs.pop_front();
}
