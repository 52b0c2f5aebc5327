// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a tape's time line as the PC-8801's cassette signal: data records
// as bytes of tones, inner gaps (leader, pauses) as steady mark, outer gaps
// as silence. Every bit is whole cycles of its tone starting at phase zero,
// and a mark gap is whole cycles too, so the wave never jumps.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tape/TapeRecords.h"

// Takes the samples, -1.0 to 1.0.
class CSampleSink {
  public:
    virtual ~CSampleSink() = default;
    virtual void WriteSamples(const float* pSamples, std::size_t nCount) = 0;
};

class CCassetteEncoder final : public CTapeRecordSink {
  public:
    // The leader the writer lays before every block at the least: a mark
    // gap that follows silence (or the start) lasts at least this long.
    static constexpr std::uint32_t kMinLeaderTicks = 2 * kTicksPerSecond;

    CCassetteEncoder(int nSampleRate, CSampleSink& sink,
                     std::uint32_t nMinLeaderTicks = kMinLeaderTicks, float fAmplitude = 0.8f);
    // An encoder that makes no samples and only counts them, at no cost
    // for the length of the signal: SampleCount() is then what the same
    // time line would give an encoder with a sink.
    explicit CCassetteEncoder(int nSampleRate, std::uint32_t nMinLeaderTicks = kMinLeaderTicks);

    void OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                std::span<const std::uint8_t> bytes) override;
    void OnGap(TapeGap kind, std::uint32_t nStart, std::uint32_t nDuration) override;
    void OnNextImage() override { m_bTimeKnown = false; }

    // Writes out what is buffered.
    void Flush();
    // Samples made (or counted) so far.
    std::uint64_t SampleCount() const;

  private:
    void AlignTo(std::uint32_t nStart);
    void Tone(double dHz, double dSeconds);
    void Silence(double dSeconds);
    void Put(float sample);

    const double m_dRate;
    CSampleSink* m_pSink; // none: samples are only counted
    const std::uint32_t m_nMinLeader;
    const float m_fAmplitude;
    std::uint64_t m_nSamples = 0; // written so far
    double m_tOut = 0;            // seconds of signal laid so far
    std::uint32_t m_nTime = 0;    // where the time line has got to
    bool m_bTimeKnown = false;
    bool m_bAfterSilence = true;
    std::vector<float> m_buffer;
};
