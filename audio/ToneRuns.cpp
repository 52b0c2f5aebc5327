// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ToneRuns.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/CassetteSignal.h"

namespace {

// Carrier: a half-period counts when its peak reaches this share of the
// recent carrier level (which falls with a time constant of a second) and
// of the loudest carrier of the last minute.
constexpr double kCarrierShare = 0.25;
constexpr double kCarrierSeconds = 1.0;
constexpr double kLostCarrierSeconds = 4.0;
constexpr double kLongShare = 0.05;
constexpr double kLongSeconds = 60.0;
constexpr double kSilence = 1e-6;
// Both references climb towards a louder peak by this share a half-period,
// so that a click (a half-period or two) hardly moves them, while a
// carrier sets them within a few milliseconds.
constexpr double kRefRise = 0.05;

// Half-periods at the nominal speed.
constexpr double kMarkHalf = 0.5 / kMarkHz;
constexpr double kSpaceHalf = 0.5 / kSpaceHz;
constexpr double kLongestHalf = 1.4; // times a space half: longer is no carrier

// Speed tracking: the gain per half-period, the range of speeds it follows.
constexpr double kSpeedGain = 0.03;
constexpr double kSpeedMin = 0.8;
constexpr double kSpeedMax = 1.25;

// Odd half-periods: this far from their tone's length, in half-periods of
// mark, and this many samples at least (at low rates single crossings
// stray by a quarter); the two outer ones of the five judged together
// within kOddOuter of theirs, one beside it within kOddBeside.
constexpr double kOddShare = 0.28;
constexpr double kOddSamples = 0.6;
constexpr double kOddOuter = 0.15;
constexpr double kOddBeside = 0.1;

// exp(-x) for x >= 0: the decays of the level references are taken once a
// half-period, where x is a few ten-thousandths and two terms of the
// series are exact to the last bits that matter.
double Decay(double x) {
    return x < 1e-3 ? 1.0 - x * (1.0 - 0.5 * x) : std::exp(-x);
}

} // namespace

bool CToneRunTracker::IsOddBefore(double t0, double t1, CarrierTone tone, double& tOdd) {
    // A half-period is judged once two more are known: it is odd when it
    // and the two on either side are of one tone and it is far off its
    // tone's length while the outer two and one beside it are close. A
    // splice leaves one half-period odd and the next one bent; beside a
    // change of tone the filters (and a treble loss) bend the first two,
    // and noise or a lossy file bends several in a row.
    for (int i = 0; i + 1 < kOddWindow; ++i)
        m_recent[i] = m_recent[i + 1];
    const double half = t1 - t0;
    const double off = tone == CarrierTone::none
                           ? 0.0
                           : half - (tone == CarrierTone::mark ? kMarkHalf : kSpaceHalf) * m_dSpeed;
    m_recent[kOddWindow - 1] = CRecentHalf{t0, std::fabs(off), tone};
    if (tone == CarrierTone::none)
        return false;
    for (const CRecentHalf& h : m_recent)
        if (h.tone != tone)
            return false;
    const double unit = kMarkHalf * m_dSpeed;
    const CRecentHalf* r = m_recent;
    if (r[2].dOff <= std::max(kOddShare * unit, kOddSamples * m_dSampleTime) ||
        r[0].dOff > kOddOuter * unit || r[4].dOff > kOddOuter * unit ||
        std::min(r[1].dOff, r[3].dOff) > kOddBeside * unit)
        return false;
    tOdd = r[2].t0;
    return true;
}

CarrierTone CToneRunTracker::Classify(double half, double dPeak) {
    const double ref = m_dRef * Decay(half / kCarrierSeconds);
    const double refLong = m_dRefLong * Decay(half / kLongSeconds);
    m_dRefLong = dPeak > refLong ? refLong + kRefRise * (dPeak - refLong) : refLong;
    const bool bCarrier =
        dPeak >= kCarrierShare * ref && dPeak >= kLongShare * m_dRefLong && dPeak > kSilence;
    // The reference follows a fading carrier, but holds longer through a
    // loss of it, so that hiss in a dropout does not pass for signal.
    m_dRef = !bCarrier     ? m_dRef * Decay(half / kLostCarrierSeconds)
             : dPeak > ref ? ref + kRefRise * (dPeak - ref)
                           : ref;

    CarrierTone tone = CarrierTone::none;
    if (bCarrier && half < kLongestHalf * kSpaceHalf * m_dSpeed) {
        // The threshold between the tones is their geometric mean.
        tone = half < std::numbers::sqrt2 * kMarkHalf * m_dSpeed ? CarrierTone::mark
                                                                 : CarrierTone::space;
        // The speed is learnt from half-periods inside runs of one tone:
        // where the tone changes, the filters stretch or shorten them.
        const double ratio = half / (tone == CarrierTone::mark ? kMarkHalf : kSpaceHalf);
        if (m_prevTone == tone && m_prevPrevTone == tone && m_dPrevRatio > kSpeedMin &&
            m_dPrevRatio < kSpeedMax)
            m_dSpeed += kSpeedGain * (m_dPrevRatio - m_dSpeed);
        m_dPrevRatio = ratio;
    }
    m_prevPrevTone = m_prevTone;
    m_prevTone = tone;
    return tone;
}
