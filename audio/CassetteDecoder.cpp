// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CassetteDecoder.h"

#include <algorithm>
#include <cmath>

#include "audio/CassetteSignal.h"

namespace {

// Time line. A leader is at least kMinLeader of mark (a byte never holds
// more than 10 bit periods of mark: 17 ms at 600 baud). Mark of kRecordGap
// or more ends a record; no carrier for up to kMaxDropout inside a record
// is a dropout, longer ends it.
constexpr double kMinLeader = 0.030;
constexpr double kRecordGap = 0.25;
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

// Breaks: space over most of this time, which is longer than the space of
// any byte at 600 baud (a 00: start and eight data bits, 15 ms).
constexpr double kLongestSpace = 0.0175;
constexpr double kBreakShare = 0.8;

// Grid: a clean byte this share of a frame or more out of step with the
// last clean one, with faulty bytes between, says bytes went missing.
constexpr double kSlipPhase = 0.25;
// Idle after a clean byte: from this many bit periods, and this far from a
// whole number of them, the bytes jumped out of step.
constexpr double kShortestIdle = 0.5;
constexpr double kIdlePhase = 0.3;

std::uint32_t Ticks(double t) {
    return static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(std::llround(std::max(t, 0.0) * kTicksPerSecond)));
}

} // namespace

struct CCassetteDecoder::Cells {
    double edges[kBitsPerByte + 1];
    bool bits[kBitsPerByte];
    bool undecided[kBitsPerByte];
    double margin[kBitsPerByte]; // how clearly one tone filled the cell, 0 to 1
};

CCassetteDecoder::CCassetteDecoder(double dSampleRate, CDecodedRecordSink& sink, int nForceBaud)
    : m_sink(sink), m_conditioner(dSampleRate),
      m_nForceBaud(nForceBaud == kBaudSlow || nForceBaud == kBaudFast ? nForceBaud : 0) {
    m_nBaud = m_nForceBaud;
}

void CCassetteDecoder::Feed(const float* pSamples, std::size_t nFrames, std::size_t nStride) {
    m_conditioner.Feed(
        pSamples, nFrames, nStride,
        [this](double t0, double t1, double dPeak) { OnHalfPeriod(t0, t1, dPeak); },
        [this](double t) { m_badSamples.push_back(t); });
}

void CCassetteDecoder::OnHalfPeriod(double t0, double t1, double dPeak) {
    m_tones.OnHalfPeriod(t0, t1, dPeak, [this](const Run& run) { PushRun(run); });
}

void CCassetteDecoder::PushRun(const Run& run) {
    m_runs.push_back(run);
    Process(false);
}

void CCassetteDecoder::Finish() {
    m_tones.Flush([this](const Run& run) { m_runs.push_back(run); });
    Process(true);
    const double tEnd =
        static_cast<double>(m_conditioner.GetSampleCount()) / m_conditioner.GetSampleRate();
    if (m_bInRecord)
        EndRecord();
    EmitGap(TapeGap::outer, m_tGapFrom, tEnd);
    m_tGapFrom = tEnd;
    m_runs.clear();
}

void CCassetteDecoder::Process(bool bFinal) {
    for (;;) {
        std::size_t k = 0;
        double tEdge = 0;
        if (!m_bInRecord) {
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
            BeginRecord(tEdge, leader);
        }

        if (!FindStartEdge(m_tHunt, k, tEdge)) {
            const bool bOver = !m_runs.empty() && m_runs.back().t1 > m_tLastByteEnd + kMaxDropout;
            if (bFinal || bOver) {
                EndRecord();
                continue;
            }
            return;
        }
        std::size_t nLost = 0;
        bool bForced = false;
        bool bShortIdle = false; // idle mark after a clean byte, less than a byte long
        const double tb = BitSeconds(m_nBaud) * SpeedAt(tEdge);
        if (!m_bytes.empty()) {
            const double since = tEdge - m_tLastByteEnd;
            const double none = NoneBetween(m_tLastByteEnd, tEdge);
            const double mark = MarkBefore(k);
            // Mark long enough to be idle ends a record; so does a loss of
            // carrier that lasts too long or that a leader follows.
            if (mark >= kRecordGap ||
                (none > 0.5 * tb && (since > kMaxDropout || mark >= kMinLeader))) {
                if (none > 0.5 * tb && mark < kMinLeader) {
                    // Data again after a long loss, without a leader: the
                    // block was cut. Say so, and go on in a new one.
                    ObserveCells(nullptr, m_tLastByteEnd, tb);
                    AppendByte(0, m_tLastByteEnd, 0, ByteFault::lost);
                    m_bResumeWithoutLeader = true;
                }
                EndRecord();
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
        Cells cells;
        if (!DecodeByte(tEdge, bFinal, cells))
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
                EndRecord();
                m_bResumeWithoutLeader = false;
                m_tHunt = std::max(m_tHunt, tEdge + len);
                continue;
            }
        }
        if (cells.bits[0])
            cells.undecided[0] = true;
        for (std::size_t i = 0; i < nLost; ++i) {
            const double t = m_tLastByteEnd + static_cast<double>(i) * kBitsPerByte * tb;
            ObserveCells(nullptr, t, tb);
            AppendByte(0, t, 0, ByteFault::lost);
        }

        std::uint8_t byte = 0;
        bool bUndecided = HasBadSample(tEdge, cells.edges[kBitsPerByte]);
        double margin = 1.0;
        for (int i = 0; i < kBitsPerByte; ++i) {
            bUndecided = bUndecided || cells.undecided[i];
            margin = std::min(margin, cells.margin[i]);
        }
        for (int i = 0; i < kDataBits; ++i)
            byte |= static_cast<std::uint8_t>(cells.bits[1 + i] ? 1u << i : 0u);
        // The next start bit may come where a stop bit failed.
        int nHuntCell = kBitsPerByte;
        for (int i = 1 + kDataBits; i < kBitsPerByte; ++i) {
            if (!cells.bits[i]) {
                nHuntCell = i;
                break;
            }
        }
        const bool bFraming = nHuntCell != kBitsPerByte;
        const bool bClean = !bFraming && !bUndecided;
        if (bShortIdle && !m_bytes.empty()) {
            // The bytes went out of step by part of a bit with no pause
            // between them: the signal jumped (a splice, a skip), and the
            // byte before the jump holds bits of two bytes.
            if (m_faults.empty() || m_faults.back().nIndex + 1 != m_bytes.size()) {
                m_faults.push_back(
                    CByteFaultAt{m_bytes.size() - 1, m_tLastByteStart, ByteFault::slip});
                ++m_nFaults;
                --m_nClean;
                m_confidence.back() = 0;
            } else {
                m_faults.back().fault = ByteFault::slip;
            }
        }
        if (bClean)
            CheckGrid(tEdge, tb);
        const std::size_t nFaults = m_faults.size();
        ObserveCells(&cells, tEdge, tb);
        AppendByte(byte, tEdge, bClean ? Confidence(margin) : 0,
                   bUndecided ? ByteFault::undecided : ByteFault::framing);
        if (!bClean)
            AddAlternatives(m_faults[nFaults], cells);
        m_tLastByteEnd = cells.edges[kBitsPerByte];
        m_tLastByteStart = tEdge;
        int nTrail = kBitsPerByte;
        while (nTrail > 1 && cells.bits[nTrail - 1])
            --nTrail;
        m_tTrailMark = cells.edges[nTrail];
        m_nTrailCells = kBitsPerByte - nTrail;
        m_dTrailBit = nTrail >= 3 ? (cells.edges[nTrail] - tEdge) / nTrail : tb;
        if (bClean) {
            m_tAnchor = m_tLastByteEnd;
            m_nAnchor = m_bytes.size();
        }
        m_bOnGrid = bClean;
        m_tHunt = cells.edges[nHuntCell] - 0.4 * tb;
        DropRunsBefore(std::min(m_tHunt, m_tLastByteEnd));
    }
}

bool CCassetteDecoder::IsOutOfStep(double bits) {
    // Idle of whole bit periods is a writer's pause (or an extra stop bit);
    // up to a byte of idle out of step with the bit cells is not.
    const double whole = std::round(bits);
    return bits > kShortestIdle && bits < kBitsPerByte - 0.5 &&
           std::fabs(bits - whole) > kIdlePhase;
}

void CCassetteDecoder::CheckGrid(double tEdge, double tb) {
    // Bytes follow back to back: since the last clean byte, the faulty
    // ones should fill the time up to this clean one a frame each. A
    // frame out of step, or more or fewer bytes than the time holds, means
    // bytes were lost (a cut, tone over the data) or are too many (noise
    // read as bytes); the first faulty byte after the clean one says so.
    const std::size_t nSince = m_bytes.size() - m_nAnchor;
    if (nSince == 0 || m_faults.size() < nSince)
        return;
    const double frames = (tEdge - m_tAnchor) / (kBitsPerByte * tb);
    const long n = std::lround(frames);
    const long nSlip = n - static_cast<long>(nSince);
    if (nSlip == 0 && std::fabs(frames - static_cast<double>(n)) <= kSlipPhase)
        return;
    CByteFaultAt& first = m_faults[m_faults.size() - nSince];
    first.fault = ByteFault::slip;
    first.nSlip = static_cast<int>(nSlip);
}

bool CCassetteDecoder::HasBadSample(double t0, double t1) {
    while (!m_badSamples.empty() && m_badSamples.front() < t0 - kHistory)
        m_badSamples.pop_front();
    return std::any_of(m_badSamples.begin(), m_badSamples.end(),
                       [=](double t) { return t >= t0 && t < t1; });
}

void CCassetteDecoder::AddAlternatives(CByteFaultAt& fault, const Cells& cells) {
    // The other values the byte takes when its least clear data bits go the
    // other way: the weakest, the next weakest, both.
    int order[kDataBits];
    for (int i = 0; i < kDataBits; ++i)
        order[i] = i;
    std::sort(order, order + kDataBits,
              [&](int a, int b) { return cells.margin[1 + a] < cells.margin[1 + b]; });
    std::uint8_t byte = 0;
    for (int i = 0; i < kDataBits; ++i)
        byte |= static_cast<std::uint8_t>(cells.bits[1 + i] ? 1u << i : 0u);
    const auto a = static_cast<std::uint8_t>(1u << order[0]);
    const auto b = static_cast<std::uint8_t>(1u << order[1]);
    fault.alternatives[0] = static_cast<std::uint8_t>(byte ^ a);
    fault.alternatives[1] = static_cast<std::uint8_t>(byte ^ b);
    fault.alternatives[2] = static_cast<std::uint8_t>(byte ^ a ^ b);
    fault.nAlternatives = kMaxAlternatives;
}

std::uint8_t CCassetteDecoder::Confidence(double margin) {
    return static_cast<std::uint8_t>(std::lround(254.0 * std::clamp(margin, 0.0, 1.0)) + 1);
}

double CCassetteDecoder::ResumeEdge(std::size_t nRun, double tFirst, bool bFinal,
                                    bool& bWait) const {
    // Where the carrier comes back, the first edge may lie inside a byte.
    // The start of a byte is the edge from which two bytes read cleanly
    // back to back; failing that, the first edge.
    const double tb = BitSeconds(m_nBaud) * SpeedAt(tFirst);
    double tEdge = tFirst;
    std::size_t k = nRun;
    while (tEdge < tFirst + kBitsPerByte * tb) {
        Cells first, second;
        if (!DecodeByte(tEdge, bFinal, first) ||
            !DecodeByte(first.edges[kBitsPerByte], bFinal, second)) {
            bWait = !bFinal;
            return tFirst;
        }
        bool bClean = !first.bits[0] && !second.bits[0];
        for (int i = 0; i < kBitsPerByte; ++i) {
            bClean = bClean && !first.undecided[i] && !second.undecided[i];
            if (i > kDataBits)
                bClean = bClean && first.bits[i] && second.bits[i];
        }
        if (bClean)
            return tEdge;
        if (!FindStartEdge(std::nextafter(tEdge, 1e300), k, tEdge))
            break;
    }
    return tFirst;
}

bool CCassetteDecoder::FindStartEdge(double tFrom, std::size_t& nRun, double& tEdge) const {
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

double CCassetteDecoder::MarkBefore(std::size_t nRun) const {
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

double CCassetteDecoder::NoneBetween(double t0, double t1) const {
    double mark = 0, space = 0, none = 0;
    ToneTimes(t0, t1, mark, space, none);
    return none;
}

bool CCassetteDecoder::DecideBaud(std::size_t nFirst, double tEdge, bool bFinal) {
    std::size_t nTotal = 0, nOdd = 0;
    bool bEnough = false;
    for (std::size_t i = nFirst; i < m_runs.size(); ++i) {
        const Run& r = m_runs[i];
        const double d = r.t1 - r.t0;
        if (r.tone == Tone::none || (r.tone == Tone::mark && d >= kMinLeader)) {
            bEnough = true; // the record (or its first stretch) ends here
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

int CCassetteDecoder::CleanBytesFrom(double tEdge, int nBaud, bool bFinal) const {
    int nClean = 0;
    double t = tEdge;
    for (int i = 0; i < kTrialBytes; ++i) {
        Cells cells;
        if (!DecodeByte(t, bFinal, cells, nBaud))
            return bFinal ? nClean : -1;
        bool bClean =
            !cells.bits[0] && cells.bits[kBitsPerByte - 1] && cells.bits[kBitsPerByte - 2];
        for (int c = 0; c < kBitsPerByte; ++c)
            bClean = bClean && !cells.undecided[c];
        nClean += bClean ? 1 : 0;
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

bool CCassetteDecoder::DecodeByte(double tEdge, bool bFinal, Cells& cells) const {
    return DecodeByte(tEdge, bFinal, cells, m_nBaud);
}

bool CCassetteDecoder::DecodeByte(double tEdge, bool bFinal, Cells& cells, int nBaud) const {
    const double tb = BitSeconds(nBaud) * SpeedAt(tEdge);
    if (!bFinal && (m_runs.empty() || m_runs.back().t1 < tEdge + (kBitsPerByte + 1) * tb))
        return false;

    cells.edges[0] = tEdge;
    auto it = std::partition_point(m_runs.begin(), m_runs.end(),
                                   [tEdge](const Run& r) { return r.t1 <= tEdge; });
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
        double mark = 0, space = 0, none = 0;
        ToneTimes(start, end, mark, space, none);
        const double len = end - start;
        cells.bits[i] = mark >= space;
        cells.margin[i] = none >= 0.5 * len ? 0.0 : std::fabs(mark - space) / len;
        cells.undecided[i] = cells.margin[i] < kClear;
    }
    return true;
}

void CCassetteDecoder::ToneTimes(double t0, double t1, double& mark, double& space,
                                 double& none) const {
    mark = space = 0;
    double covered = 0;
    auto it = std::partition_point(m_runs.begin(), m_runs.end(),
                                   [t0](const Run& r) { return r.t1 <= t0; });
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

double CCassetteDecoder::SpeedAt(double t) const {
    auto it =
        std::partition_point(m_runs.begin(), m_runs.end(), [t](const Run& r) { return r.t1 < t; });
    if (it == m_runs.end())
        return m_tones.GetSpeed();
    return it->speed;
}

void CCassetteDecoder::BeginRecord(double tEdge, double dLeader) {
    const double tLeader = std::max(m_tGapFrom, tEdge - dLeader);
    EmitGap(TapeGap::outer, m_tGapFrom, tLeader);
    EmitGap(TapeGap::inner, tLeader, tEdge);
    m_bInRecord = true;
    m_tRecordStart = tEdge;
    m_tLastByteEnd = tEdge;
    m_tHunt = tEdge;
    m_bOnGrid = false;
    m_tAnchor = tEdge;
    m_nAnchor = 0;
    m_bytes.clear();
    m_faults.clear();
    m_confidence.clear();
}

void CCassetteDecoder::EndRecord() {
    m_bInRecord = false;
    if (!m_bytes.empty()) {
        const std::uint32_t nStart = Ticks(m_tRecordStart);
        m_sink.OnRecord(nStart, Ticks(m_tLastByteEnd) - nStart, m_nBaud, m_bytes, m_faults,
                        m_confidence);
        m_tGapFrom = m_tLastByteEnd;
    }
    // Hunting goes on after the last byte; after a record that found none,
    // after its start edge, which is not to be taken again.
    m_tHunt =
        m_bytes.empty() ? std::max(m_tHunt, std::nextafter(m_tRecordStart, 1e300)) : m_tLastByteEnd;
    m_bytes.clear();
    m_faults.clear();
    m_confidence.clear();
    m_nBaud = m_nForceBaud;
}

void CCassetteDecoder::AppendByte(std::uint8_t byte, double t, std::uint8_t nConfidence,
                                  ByteFault fault) {
    if (nConfidence == 0) {
        m_faults.push_back(CByteFaultAt{m_bytes.size(), t, fault});
        ++m_nFaults;
    } else {
        ++m_nClean;
    }
    m_bytes.push_back(byte);
    m_confidence.push_back(nConfidence);
    ++m_nBytes;
}

void CCassetteDecoder::ObserveCells(const Cells* pCells, double t, double tb) {
    if (m_pCellObserver == nullptr)
        return;
    CByteCells out{m_bytes.size(), m_nBaud, {}, {}, {}, pCells == nullptr};
    for (int i = 0; i <= kBitsPerByte; ++i)
        out.edges[i] = pCells != nullptr ? pCells->edges[i] : t + i * tb;
    for (int i = 0; i < kBitsPerByte; ++i) {
        out.bits[i] = pCells != nullptr && pCells->bits[i];
        out.margins[i] = pCells != nullptr ? pCells->margin[i] : 0.0;
    }
    m_pCellObserver->OnByteCells(out);
}

void CCassetteDecoder::DropRunsBefore(double t) {
    while (!m_runs.empty() && m_runs.front().t1 < t - kHistory)
        m_runs.pop_front();
}

void CCassetteDecoder::EmitGap(TapeGap kind, double t0, double t1) {
    const std::uint32_t nStart = Ticks(t0);
    const std::uint32_t nEnd = Ticks(t1);
    if (nEnd > nStart)
        m_sink.OnGap(kind, nStart, nEnd - nStart);
}
