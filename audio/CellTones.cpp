// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CellTones.h"

#include <cmath>
#include <numbers>

namespace {

// Samples kept: the framer reads a byte at most half a second (its runs'
// history) behind the newest sample.
constexpr double kKeepSeconds = 1.0;
// A cell of fewer samples says nothing.
constexpr double kFewestSamples = 3.0;

// Power of the frequency w (radians a sample) in x[0..n), by Goertzel's
// recurrence.
struct Goertzel {
    double c, s1 = 0, s2 = 0;
    explicit Goertzel(double w) : c(2.0 * std::cos(w)) {}
    void Add(double x) {
        const double s = x + c * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    double Power() const { return s1 * s1 + s2 * s2 - c * s1 * s2; }
};

} // namespace

CCellTones::CCellTones(double dSampleRate) : m_dRate(dSampleRate) {
    std::size_t n = 1;
    while (static_cast<double>(n) < kKeepSeconds * dSampleRate)
        n *= 2;
    m_samples.assign(n, 0.0f);
    m_nMask = n - 1;
}

bool CCellTones::MarkShare(double t0, double t1, int nMarkCycles, int nSpaceCycles,
                           double& share) const {
    const double len = (t1 - t0) * m_dRate; // in samples
    if (!(len >= kFewestSamples) || t0 < 0)
        return false;
    const auto first = static_cast<std::uint64_t>(std::ceil(t0 * m_dRate));
    const auto end = static_cast<std::uint64_t>(std::ceil(t1 * m_dRate));
    if (end > m_nNext || m_nNext - first > m_samples.size() || end <= first)
        return false;
    // The tones at the cell's own length: whole cycles of each fill it.
    const double w = 2.0 * std::numbers::pi / len;
    Goertzel mark(w * nMarkCycles), space(w * nSpaceCycles);
    for (std::uint64_t n = first; n < end; ++n) {
        const double x = m_samples[n & m_nMask];
        mark.Add(x);
        space.Add(x);
    }
    const double pm = mark.Power(), ps = space.Power();
    if (!(pm + ps > 0))
        return false;
    share = (pm - ps) / (pm + ps);
    return true;
}
