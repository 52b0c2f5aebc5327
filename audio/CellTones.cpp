// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CellTones.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Samples kept: the framer reads a byte a few bit periods behind the newest
// sample, and a block's first bytes up to about 150 ms behind (its speed
// is found from eight bytes read at either speed first); more would only
// crowd the cache.
constexpr double kKeepSeconds = 0.25;
// A cell of fewer samples says nothing.
constexpr double kFewestSamples = 3.0;
// The rate the tones are weighed at, at least: above it, every so many
// samples (the band-pass leaves nothing near half of it).
constexpr double kWeighRate = 16000.0;

// Power of the frequency whose coefficient is c (2 cos w, w in radians a
// sample) in the samples added, by Goertzel's recurrence.
struct Goertzel {
    double c, c2 = c * c - 1.0, s1 = 0, s2 = 0;
    explicit Goertzel(double coefficient) : c(coefficient) {}
    void Add(double x) {
        const double s = x + c * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    // Two samples at once, each step from the two before: half as long a
    // chain of dependent operations.
    void Add2(double x0, double x1) {
        const double a = x0 + c * s1 - s2;
        const double b = x1 + c * x0 + c2 * s1 - c * s2;
        s2 = a;
        s1 = b;
    }
    double Power() const { return s1 * s1 + s2 * s2 - c * s1 * s2; }
};

} // namespace

CCellTones::CCellTones(double dSampleRate)
    : m_dRate(dSampleRate),
      m_nStep(std::max<std::uint64_t>(1, static_cast<std::uint64_t>(dSampleRate / kWeighRate))) {
    std::size_t n = 1;
    while (static_cast<double>(n) < kKeepSeconds * dSampleRate)
        n *= 2;
    m_samples.assign(n, 0.0f);
    m_nMask = n - 1;
}

bool CCellTones::MarkShare(double t0, double t1, int nMarkCycles, int nSpaceCycles,
                           double& share) const {
    const double len = (t1 - t0) * m_dRate; // in samples
    if (!(len >= kFewestSamples * static_cast<double>(m_nStep)) || t0 < 0)
        return false;
    const auto first = static_cast<std::uint64_t>(std::ceil(t0 * m_dRate));
    const auto end = static_cast<std::uint64_t>(std::ceil(t1 * m_dRate));
    if (end > m_nNext || m_nNext - first > m_samples.size() || end <= first)
        return false;
    // The tones at the cell's own length: whole cycles of each fill it.
    if (len != m_dCacheLen || nMarkCycles != m_nCacheMark || nSpaceCycles != m_nCacheSpace) {
        const double w = 2.0 * std::numbers::pi * static_cast<double>(m_nStep) / len;
        m_dCacheMark = 2.0 * std::cos(w * nMarkCycles);
        m_dCacheSpace = 2.0 * std::cos(w * nSpaceCycles);
        m_dCacheLen = len;
        m_nCacheMark = nMarkCycles;
        m_nCacheSpace = nSpaceCycles;
    }
    Goertzel mark(m_dCacheMark), space(m_dCacheSpace);
    std::uint64_t n = first;
    for (; n + m_nStep < end; n += 2 * m_nStep) {
        const double x0 = m_samples[n & m_nMask], x1 = m_samples[(n + m_nStep) & m_nMask];
        mark.Add2(x0, x1);
        space.Add2(x0, x1);
    }
    if (n < end) {
        mark.Add(m_samples[n & m_nMask]);
        space.Add(m_samples[n & m_nMask]);
    }
    const double pm = mark.Power(), ps = space.Power();
    if (!(pm + ps > 0))
        return false;
    share = (pm - ps) / (pm + ps);
    return true;
}
