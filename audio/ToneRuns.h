// SPDX-License-Identifier: GPL-3.0-or-later
// The second stage of the cassette decoder: half-periods of the carrier to
// runs of one tone, with the tape's speed tracked on the way.
//
// A half-period is mark (short), space (long) or no carrier: too quiet
// against the recent carrier level (which falls with a time constant of a
// second and holds longer through a loss) or against the loudest carrier
// of the last minute, or too long for either tone. Both levels climb
// towards a louder peak by a share each half-period, so that a click does
// not make the carrier after it pass for none. The speed is learnt from
// half-periods inside runs of one tone: where the tone changes, the
// filters stretch or shorten them.
//
// Inside a run, every half-period is as long as its tone's (where the tone
// changes, the filters bend the two beside the change). One that is not,
// between two of its own tone, is odd: the signal jumped there (a splice,
// a skip of the tape), and the framer names the byte it falls in.
#pragma once

#include <cstdint>

enum class CarrierTone : std::uint8_t { mark, space, none };

struct CToneRun {
    CarrierTone tone;
    double t0, t1; // seconds
    double speed;  // tape speed factor at its end
};

class CToneRunTracker {
  public:
    // dSampleRate: of the samples the half-periods were measured in (0:
    // unknown, odd half-periods judged by their length alone).
    explicit CToneRunTracker(double dSampleRate = 0)
        : m_dSampleTime(dSampleRate > 0 ? 1.0 / dSampleRate : 0.0) {}

    // Classifies the half-period [t0, t1) and extends the run under way;
    // a run that it ends goes to onRun(const CToneRun&), and the start of
    // the half-period before it, when that one was odd, to onOdd(double).
    template <class OnRun, class OnOdd>
    void OnHalfPeriod(double t0, double t1, double dPeak, OnRun&& onRun, OnOdd&& onOdd) {
        const CarrierTone tone = Classify(t1 - t0, dPeak);
        double tOdd = 0;
        if (IsOddBefore(t0, t1, tone, tOdd))
            onOdd(tOdd);
        if (m_bHaveRun && m_cur.tone == tone) {
            m_cur.t1 = t1;
            m_cur.speed = m_dSpeed;
            return;
        }
        if (m_bHaveRun)
            onRun(m_cur);
        m_cur = CToneRun{tone, t0, t1, m_dSpeed};
        m_bHaveRun = true;
    }
    template <class OnRun> void OnHalfPeriod(double t0, double t1, double dPeak, OnRun&& onRun) {
        OnHalfPeriod(t0, t1, dPeak, onRun, [](double) {});
    }
    // The recording has ended: the run under way goes to onRun.
    template <class OnRun> void Flush(OnRun&& onRun) {
        if (m_bHaveRun)
            onRun(m_cur);
        m_bHaveRun = false;
    }

    // The speed factor learnt so far (1: nominal).
    double GetSpeed() const { return m_dSpeed; }

  private:
    CarrierTone Classify(double half, double dPeak);
    // Whether the half-period two before [t0, t1), inside a run of one
    // tone, was of a length neither tone has; if so, where it began.
    bool IsOddBefore(double t0, double t1, CarrierTone tone, double& tOdd);

    const double m_dSampleTime;
    double m_dRef = 0;     // slowly falling carrier reference
    double m_dRefLong = 0; // the loudest carrier of the last minute
    double m_dSpeed = 1.0;
    CarrierTone m_prevTone = CarrierTone::none, m_prevPrevTone = CarrierTone::none;
    double m_dPrevRatio = 1.0;
    // The last half-periods: where each began, how far it was from its
    // tone's length (either way), its tone.
    struct CRecentHalf {
        double t0 = 0, dOff = 0;
        CarrierTone tone = CarrierTone::none;
    };
    static constexpr int kOddWindow = 5;
    CRecentHalf m_recent[kOddWindow];
    bool m_bHaveRun = false;
    CToneRun m_cur{};
};
