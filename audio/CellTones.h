// SPDX-License-Identifier: GPL-3.0-or-later
// A second opinion on a bit cell, independent of the zero crossings the
// tone runs are made of: the energy of each tone in the band-passed samples
// under the cell.
//
// Over a whole cell the two tones are orthogonal (a space bit holds whole
// cycles of the low tone, a mark bit twice as many of the high one), so the
// correlation with each tone at the cell's own length (which follows the
// tape's speed) tells the tones apart wherever the crossings are bent: a
// lossy file that fills a cell with the wrong tone's crossings, a rate so
// low that a half-period is two samples. The conditioner keeps the samples
// of the last quarter of a second here; the framer asks for the cells of each byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CCellTones {
  public:
    explicit CCellTones(double dSampleRate);

    // The next band-passed sample; the first one taken is at time 0.
    void Push(double v) {
        m_samples[m_nNext & m_nMask] = static_cast<float>(v);
        ++m_nNext;
    }
    // The same for a loop over many samples, with the ring in registers:
    // Begin, Put each, then End (also before the samples put are read).
    struct CWriter {
        float* pRing;
        std::uint64_t nMask, nNext;
        void Put(double v) { pRing[nNext++ & nMask] = static_cast<float>(v); }
    };
    CWriter BeginWrite() { return {m_samples.data(), m_nMask, m_nNext}; }
    void EndWrite(const CWriter& w) { m_nNext = w.nNext; }

    // How much more of the cell [t0, t1) is mark than space, from -1 (all
    // space) to 1 (all mark), for a bit of nMarkCycles of the high tone or
    // nSpaceCycles of the low one. False when the samples are not (or no
    // longer) kept, or the cell is too short to tell.
    bool MarkShare(double t0, double t1, int nMarkCycles, int nSpaceCycles, double& share) const;

    double GetSampleRate() const { return m_dRate; }

  private:
    const double m_dRate;
    std::uint64_t m_nStep;        // every how many samples are weighed: the tones need 16 kHz
    std::vector<float> m_samples; // a ring of a power of two
    std::uint64_t m_nMask;
    std::uint64_t m_nNext = 0; // samples pushed so far
    // The Goertzel coefficients of the last cell's length: a byte's cells
    // are all one bit period long.
    mutable double m_dCacheLen = 0, m_dCacheMark = 0, m_dCacheSpace = 0;
    mutable int m_nCacheMark = 0, m_nCacheSpace = 0;
};
