// SPDX-License-Identifier: GPL-3.0-or-later
// The first stage of the cassette decoder: one channel of samples to the
// half-periods of the carrier, whatever its polarity, level, DC offset or
// clipping.
//
// A band-pass (2nd-order high-pass at 600 Hz, low-pass at 3.6 kHz or below
// the Nyquist frequency of a low rate) removes DC, hum and hiss; a zero
// crossing counts once the signal has gone past it by a share of the level
// of the recent half-periods (hysteresis), and the time of a crossing is
// interpolated between its two samples. The level decays once no crossing
// came for a while, so that a fade is followed. A sample that is no number
// (NaN, infinity) is silence to the filters and is told apart.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "audio/CellTones.h"

class CSignalConditioner {
  public:
    explicit CSignalConditioner(double dSampleRate);

    // Takes nFrames samples from pSamples at every nStride-th float; calls
    // onHalf(t0, t1, dPeak) for each half-period (seconds, t1 > t0; its
    // largest magnitude) and onBadSample(t) for each sample that was no
    // number.
    template <class OnHalf, class OnBadSample>
    void Feed(const float* pSamples, std::size_t nFrames, std::size_t nStride, OnHalf&& onHalf,
              OnBadSample&& onBadSample);

    // Each band-passed sample goes to pTones too (none: kept nowhere). It
    // must outlive the conditioner.
    void SetCellTones(CCellTones* pTones) { m_pTones = pTones; }

    double GetSampleRate() const { return m_dRate; }
    // Samples taken so far.
    std::uint64_t GetSampleCount() const { return m_nSample; }

  private:
    static constexpr double kHysteresis = 0.3;
    static constexpr double kTiny = 1e-20; // keeps the filters out of denormal numbers
    static constexpr double kSilence = 1e-6;

    const double m_dRate;
    CCellTones* m_pTones = nullptr;
    float m_fScratch = 0;
    double m_hp[5], m_lp[5]; // biquads, transposed direct form II: b0 b1 b2 a1 a2
    double m_hpZ1 = 0, m_hpZ2 = 0, m_lpZ1 = 0, m_lpZ2 = 0;
    std::uint64_t m_nSample = 0;
    double m_dPrev = 0;
    double m_tZero = 0;      // last raw zero crossing, in samples
    double m_tLastCross = 0; // last accepted crossing, in samples
    double m_dPeak = 0;      // largest |x| since then
    double m_dEnv = 0;       // level of recent half-periods
    int m_nSign = 1;
    std::uint64_t m_nQuietFrom = 0; // sample from which the level decays
    double m_dDecay;                // per-sample decay of the level when quiet
    std::uint32_t m_nDecayAfter;
};

template <class OnHalf, class OnBadSample>
void CSignalConditioner::Feed(const float* pSamples, std::size_t nFrames, std::size_t nStride,
                              OnHalf&& onHalf, OnBadSample&& onBadSample) {
    const double hp0 = m_hp[0], hp1 = m_hp[1], hp2 = m_hp[2], hpA1 = m_hp[3], hpA2 = m_hp[4];
    const double lp0 = m_lp[0], lp1 = m_lp[1], lp2 = m_lp[2], lpA1 = m_lp[3], lpA2 = m_lp[4];
    double hz1 = m_hpZ1, hz2 = m_hpZ2, lz1 = m_lpZ1, lz2 = m_lpZ2;
    double prev = m_dPrev;
    // The band-passed samples go to the cell tones, or to a scratch word.
    CCellTones::CWriter tones =
        m_pTones != nullptr ? m_pTones->BeginWrite() : CCellTones::CWriter{&m_fScratch, 0, 0};
    // The state the loop changes is kept in locals (registers) meanwhile.
    std::uint64_t nSample = m_nSample, nQuietFrom = m_nQuietFrom;
    double tZero = m_tZero, tLastCross = m_tLastCross, peak = m_dPeak, env = m_dEnv;
    int nSign = m_nSign;
    for (std::size_t i = 0; i < nFrames; ++i) {
        double x = pSamples[i * nStride];
        if (!std::isfinite(x)) [[unlikely]] {
            x = 0.0;
            onBadSample(static_cast<double>(nSample) / m_dRate);
        }
        x += (nSample & 1) != 0 ? kTiny : -kTiny;
        const double h = hp0 * x + hz1;
        hz1 = hp1 * x - hpA1 * h + hz2;
        hz2 = hp2 * x - hpA2 * h;
        const double v = lp0 * h + lz1;
        lz1 = lp1 * h - lpA1 * v + lz2;
        lz2 = lp2 * h - lpA2 * v;
        tones.Put(v);

        const std::uint64_t n = nSample++;
        if ((v >= 0.0) != (prev >= 0.0))
            tZero = static_cast<double>(n) - 1.0 + prev / (prev - v);
        const double a = std::fabs(v);
        if (a > peak)
            peak = a;
        const double threshold = kHysteresis * env + kSilence;
        if (nSign > 0 ? v < -threshold : v > threshold) {
            nSign = -nSign;
            const double t0 = tLastCross / m_dRate;
            const double t1 = tZero / m_dRate;
            tLastCross = tZero;
            if (t1 > t0) {
                env = 0.7 * env + 0.3 * peak;
                if (m_pTones != nullptr)
                    m_pTones->EndWrite(tones); // the framer may weigh cells up to here
                onHalf(t0, t1, peak);
            }
            peak = a;
            nQuietFrom = n + m_nDecayAfter;
        } else if (n > nQuietFrom) {
            env *= m_dDecay;
        }
        prev = v;
    }
    m_nSample = nSample;
    m_nQuietFrom = nQuietFrom;
    m_tZero = tZero;
    m_tLastCross = tLastCross;
    m_dPeak = peak;
    m_dEnv = env;
    m_nSign = nSign;
    m_hpZ1 = hz1;
    m_hpZ2 = hz2;
    m_lpZ1 = lz1;
    m_lpZ2 = lz2;
    m_dPrev = prev;
    if (m_pTones != nullptr)
        m_pTones->EndWrite(tones);
}
