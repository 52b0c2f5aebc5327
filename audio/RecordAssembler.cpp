// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/RecordAssembler.h"

#include <algorithm>
#include <cmath>

namespace {

// Grid: a clean byte this share of a frame or more out of step with the
// last clean one, with faulty bytes between, says bytes went missing.
constexpr double kSlipPhase = 0.25;
// ... and over at most kNearBytes faulty bytes, where no speed error can
// build up, this share (a bit and a third): a splice that took out close
// to a whole number of bytes leaves the rest out of step by no more.
constexpr std::size_t kNearBytes = 2;
constexpr double kSlipPhaseNear = 0.12;

std::uint32_t Ticks(double t) {
    return static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(std::llround(std::max(t, 0.0) * kTicksPerSecond)));
}

} // namespace

void CRecordAssembler::OnBlockStart(double tEdge, double dLeader, int nBaud) {
    const double tLeader = std::max(m_tGapFrom, tEdge - dLeader);
    EmitGap(TapeGap::outer, m_tGapFrom, tLeader);
    EmitGap(TapeGap::inner, tLeader, tEdge);
    m_bInRecord = true;
    m_nBaud = nBaud;
    m_dBit = BitSeconds(nBaud);
    m_tRecordStart = tEdge;
    m_tLastByteEnd = tEdge;
    m_tAnchor = tEdge;
    m_nAnchor = 0;
    m_bytes.clear();
    m_faults.clear();
    m_confidence.clear();
}

void CRecordAssembler::OnLostByte(double t) {
    ObserveCells(nullptr, t);
    AppendByte(0, t, 0, ByteFault::lost);
}

void CRecordAssembler::OnByte(const CFramedByte& byte) {
    const double tEdge = byte.Start();
    const bool bClean = byte.IsClean() && !byte.bJumpIn;
    // A byte whose runs were clear keeps the bytes' timing even when the
    // tones under its cells say otherwise.
    const bool bInStep = bClean || (byte.bTonesDisagree && !byte.bJumpIn);
    if (byte.bJumpBefore && !m_bytes.empty()) {
        // The bytes went out of step by part of a bit with no pause
        // between them: the signal jumped (a splice, a skip), and the
        // byte before the jump holds bits of two bytes.
        if (m_faults.empty() || m_faults.back().nIndex + 1 != m_bytes.size()) {
            m_faults.push_back(CByteFaultAt{m_bytes.size() - 1, m_tLastByteStart, ByteFault::slip});
            ++m_nFaults;
            --m_nClean;
            m_confidence.back() = 0;
        } else {
            m_faults.back().fault = ByteFault::slip;
        }
    }
    m_dBit = byte.dBit;
    if (bInStep)
        CheckGrid(tEdge, byte.dBit);
    const std::size_t nFaults = m_faults.size();
    ObserveCells(&byte.cells, tEdge);
    AppendByte(byte.nValue, tEdge, bClean ? Confidence(byte.Margin()) : 0,
               byte.bJumpIn         ? ByteFault::slip
               : byte.IsUndecided() ? ByteFault::undecided
                                    : ByteFault::framing);
    if (!bClean)
        AddAlternatives(m_faults[nFaults], byte.cells);
    m_tLastByteEnd = byte.End();
    m_tLastByteStart = tEdge;
    if (bInStep) {
        m_tAnchor = m_tLastByteEnd;
        m_tAnchorStart = tEdge;
        m_nAnchor = m_bytes.size();
    }
}

void CRecordAssembler::OnBlockEnd() {
    m_bInRecord = false;
    if (!m_bytes.empty()) {
        const std::uint32_t nStart = Ticks(m_tRecordStart);
        m_sink.OnRecord(nStart, Ticks(m_tLastByteEnd) - nStart, m_nBaud, m_bytes, m_faults,
                        m_confidence);
        m_tGapFrom = m_tLastByteEnd;
    }
    m_bytes.clear();
    m_faults.clear();
    m_confidence.clear();
}

void CRecordAssembler::Finish(double tEnd) {
    if (m_bInRecord)
        OnBlockEnd();
    EmitGap(TapeGap::outer, m_tGapFrom, tEnd);
    m_tGapFrom = tEnd;
}

void CRecordAssembler::CheckGrid(double tEdge, double tb) {
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
    const double phase = nSince <= kNearBytes ? kSlipPhaseNear : kSlipPhase;
    if (nSlip == 0 && std::fabs(frames - static_cast<double>(n)) <= phase)
        return;
    const std::size_t nFirst = m_faults.size() - nSince;
    // A byte already named for a jump of the signal holds the splice.
    const bool bSpliceFound = m_faults[nFirst].fault == ByteFault::slip;
    m_faults[nFirst].fault = ByteFault::slip;
    m_faults[nFirst].nSlip = static_cast<int>(nSlip);
    if (nSlip != 0 && !bSpliceFound && m_nAnchor != 0 && m_confidence[m_nAnchor - 1] != 0) {
        // The clean byte before the bytes went out of step may itself hold
        // the splice (the rest of it read clearly from the bytes after):
        // it is named too, with no other reading to offer.
        m_faults.insert(m_faults.begin() + static_cast<std::ptrdiff_t>(nFirst),
                        CByteFaultAt{m_nAnchor - 1, m_tAnchorStart, ByteFault::undecided});
        m_confidence[m_nAnchor - 1] = 0;
        ++m_nFaults;
        --m_nClean;
    }
}

void CRecordAssembler::AddAlternatives(CByteFaultAt& fault, const CBitCells& cells) {
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

std::uint8_t CRecordAssembler::Confidence(double margin) {
    return static_cast<std::uint8_t>(std::lround(254.0 * std::clamp(margin, 0.0, 1.0)) + 1);
}

void CRecordAssembler::AppendByte(std::uint8_t byte, double t, std::uint8_t nConfidence,
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

void CRecordAssembler::ObserveCells(const CBitCells* pCells, double t) {
    if (m_pCellObserver == nullptr)
        return;
    CByteCells out{m_bytes.size(), m_nBaud, {}, {}, {}, pCells == nullptr};
    for (int i = 0; i <= kBitsPerByte; ++i)
        out.edges[i] = pCells != nullptr ? pCells->edges[i] : t + i * m_dBit;
    for (int i = 0; i < kBitsPerByte; ++i) {
        out.bits[i] = pCells != nullptr && pCells->bits[i];
        out.margins[i] = pCells != nullptr ? pCells->margin[i] : 0.0;
    }
    m_pCellObserver->OnByteCells(out);
}

void CRecordAssembler::EmitGap(TapeGap kind, double t0, double t1) {
    const std::uint32_t nStart = Ticks(t0);
    const std::uint32_t nEnd = Ticks(t1);
    if (nEnd > nStart)
        m_sink.OnGap(kind, nStart, nEnd - nStart);
}
