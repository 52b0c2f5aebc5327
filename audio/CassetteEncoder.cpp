// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CassetteEncoder.h"

#include <cmath>
#include <numbers>

#include "audio/CassetteSignal.h"

namespace {

constexpr std::size_t kBufferSamples = 8192;
// A hole in the time line longer than this is not played as silence (a
// time that went backwards, or wrapped).
constexpr std::uint32_t kLongestHole = 60 * kTicksPerSecond;

} // namespace

CCassetteEncoder::CCassetteEncoder(int nSampleRate, CSampleSink& sink,
                                   std::uint32_t nMinLeaderTicks, float fAmplitude)
    : m_dRate(nSampleRate), m_pSink(&sink), m_nMinLeader(nMinLeaderTicks),
      m_fAmplitude(fAmplitude) {
    m_buffer.reserve(kBufferSamples);
}

CCassetteEncoder::CCassetteEncoder(int nSampleRate, std::uint32_t nMinLeaderTicks)
    : m_dRate(nSampleRate), m_pSink(nullptr), m_nMinLeader(nMinLeaderTicks), m_fAmplitude(0) {}

std::uint64_t CCassetteEncoder::SampleCount() const {
    if (m_pSink != nullptr)
        return m_nSamples;
    // The samples are those whose time falls before the signal's end: the
    // first count n with n / rate >= m_tOut, by the test Tone and Silence
    // make sample by sample.
    auto n = static_cast<std::uint64_t>(std::ceil(m_tOut * m_dRate));
    while (n > 0 && static_cast<double>(n - 1) / m_dRate >= m_tOut)
        --n;
    while (static_cast<double>(n) / m_dRate < m_tOut)
        ++n;
    return n;
}

void CCassetteEncoder::AlignTo(std::uint32_t nStart) {
    if (m_bTimeKnown) {
        const std::uint32_t hole = nStart - m_nTime;
        if (hole != 0 && hole < kLongestHole) {
            Silence(static_cast<double>(hole) / kTicksPerSecond);
            m_bAfterSilence = true;
        }
    }
    m_nTime = nStart;
    m_bTimeKnown = true;
}

void CCassetteEncoder::OnGap(TapeGap kind, std::uint32_t nStart, std::uint32_t nDuration) {
    AlignTo(nStart);
    m_nTime = nStart + nDuration;
    if (kind == TapeGap::outer) {
        Silence(static_cast<double>(nDuration) / kTicksPerSecond);
        m_bAfterSilence = true;
        return;
    }
    std::uint32_t nTicks = nDuration;
    if (m_bAfterSilence && nTicks < m_nMinLeader)
        nTicks = m_nMinLeader; // a leader: as long as the loader needs
    // Whole cycles, so that what follows starts at phase zero.
    const double cycles = std::round(static_cast<double>(nTicks) / kTicksPerSecond * kMarkHz);
    Tone(kMarkHz, cycles / kMarkHz);
    m_bAfterSilence = false;
}

void CCassetteEncoder::OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                              std::span<const std::uint8_t> bytes) {
    AlignTo(nStart);
    m_nTime = nStart + nDuration;
    if (m_bAfterSilence && !bytes.empty()) {
        // Data straight after silence still gets its leader.
        Tone(kMarkHz, static_cast<double>(m_nMinLeader) / kTicksPerSecond);
    }
    const double bit = BitSeconds(nBaud);
    for (const std::uint8_t byte : bytes) {
        // Start bit, eight data bits lowest first, two stop bits.
        const unsigned frame = (static_cast<unsigned>(byte) << 1) | (0x3u << (1 + kDataBits));
        for (int i = 0; i < kBitsPerByte; ++i)
            Tone((frame >> i) & 1 ? kMarkHz : kSpaceHz, bit);
    }
    if (!bytes.empty())
        m_bAfterSilence = false;
}

void CCassetteEncoder::Tone(double dHz, double dSeconds) {
    // Samples whose time falls in [m_tOut, m_tOut + dSeconds), each taken
    // from the tone as it started at m_tOut.
    const double t0 = m_tOut;
    m_tOut += dSeconds;
    if (m_pSink == nullptr)
        return;
    const double w = 2.0 * std::numbers::pi * dHz;
    for (;;) {
        const double t = static_cast<double>(m_nSamples) / m_dRate;
        if (t >= m_tOut)
            break;
        Put(m_fAmplitude * static_cast<float>(std::sin(w * (t - t0))));
    }
}

void CCassetteEncoder::Silence(double dSeconds) {
    m_tOut += dSeconds;
    if (m_pSink == nullptr)
        return;
    while (static_cast<double>(m_nSamples) / m_dRate < m_tOut)
        Put(0.0f);
}

void CCassetteEncoder::Put(float sample) {
    m_buffer.push_back(sample);
    ++m_nSamples;
    if (m_buffer.size() == kBufferSamples)
        Flush();
}

void CCassetteEncoder::Flush() {
    if (!m_buffer.empty() && m_pSink != nullptr)
        m_pSink->WriteSamples(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}
