// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SignalConditioner.h"

#include <algorithm>
#include <numbers>

namespace {

// Band of the signal that the filters keep.
constexpr double kHighPassHz = 600.0;
constexpr double kLowPassHz = 3600.0;
constexpr double kLowPassMaxOfRate = 0.45; // at low rates, below Nyquist

// The level decays once no crossing came for this long, with this time
// constant.
constexpr double kQuietSeconds = 0.0015;
constexpr double kQuietDecaySeconds = 0.005;

// RBJ biquad, Q = 1/sqrt(2): b0 b1 b2 a1 a2, a0 divided out.
void Biquad(double* c, double fc, double rate, bool bHighPass) {
    const double w = 2.0 * std::numbers::pi * fc / rate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) / std::numbers::sqrt2;
    const double a0 = 1.0 + alpha;
    const double b = bHighPass ? (1.0 + cw) / 2.0 : (1.0 - cw) / 2.0;
    c[0] = b / a0;
    c[1] = (bHighPass ? -2.0 * b : 2.0 * b) / a0;
    c[2] = b / a0;
    c[3] = -2.0 * cw / a0;
    c[4] = (1.0 - alpha) / a0;
}

} // namespace

CSignalConditioner::CSignalConditioner(double dSampleRate) : m_dRate(dSampleRate) {
    Biquad(m_hp, kHighPassHz, m_dRate, true);
    Biquad(m_lp, std::min(kLowPassHz, kLowPassMaxOfRate * m_dRate), m_dRate, false);
    m_dDecay = std::exp(-1.0 / (kQuietDecaySeconds * m_dRate));
    m_nDecayAfter = static_cast<std::uint32_t>(kQuietSeconds * m_dRate) + 1;
}
