// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CassetteDecoder.h"

CCassetteDecoder::CCassetteDecoder(double dSampleRate, CDecodedRecordSink& sink, int nForceBaud)
    : m_cellTones(dSampleRate), m_conditioner(dSampleRate), m_tones(dSampleRate), m_records(sink),
      m_framer(m_records, nForceBaud) {
    m_conditioner.SetCellTones(&m_cellTones);
    m_framer.SetCellTones(&m_cellTones);
}

void CCassetteDecoder::Feed(const float* pSamples, std::size_t nFrames, std::size_t nStride) {
    m_conditioner.Feed(
        pSamples, nFrames, nStride,
        [this](double t0, double t1, double dPeak) {
            m_tones.OnHalfPeriod(
                t0, t1, dPeak,
                [this](const CToneRun& run) { m_framer.OnRun(run, m_tones.GetSpeed()); },
                [this](double t) { m_framer.OnOddHalf(t); });
        },
        [this](double t) { m_framer.OnBadSample(t); });
}

void CCassetteDecoder::Finish() {
    m_tones.Flush([this](const CToneRun& run) { m_framer.AddLastRun(run); });
    m_framer.Finish(m_tones.GetSpeed());
    m_records.Finish(static_cast<double>(m_conditioner.GetSampleCount()) /
                     m_conditioner.GetSampleRate());
}
