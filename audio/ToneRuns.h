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
    // Classifies the half-period [t0, t1) and extends the run under way;
    // a run that it ends goes to onRun(const CToneRun&).
    template <class OnRun> void OnHalfPeriod(double t0, double t1, double dPeak, OnRun&& onRun) {
        const CarrierTone tone = Classify(t1 - t0, dPeak);
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

    double m_dRef = 0;     // slowly falling carrier reference
    double m_dRefLong = 0; // the loudest carrier of the last minute
    double m_dSpeed = 1.0;
    CarrierTone m_prevTone = CarrierTone::none, m_prevPrevTone = CarrierTone::none;
    double m_dPrevRatio = 1.0;
    bool m_bHaveRun = false;
    CToneRun m_cur{};
};
