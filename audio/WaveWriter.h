// SPDX-License-Identifier: GPL-3.0-or-later
// Mono 16-bit PCM WAV written straight into a byte sink, its length known
// before the first byte:
//
//   "RIFF"  u32 36 + data bytes  "WAVE"
//   "fmt "  u32 16  u16 1 (PCM)  u16 1 channel  u32 rate  u32 rate * 2
//           u16 2 (bytes a frame)  u16 16 (bits)
//   "data"  u32 data bytes  samples, s16 each                 (little-endian)
//
// The RIFF size is 32 bits: a recording whose data would pass 4 GiB less
// the header is refused before anything is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CByteSink;

class CWaveWriter {
  public:
    static constexpr std::size_t kHeaderBytes = 44;
    static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFu - (kHeaderBytes - 8);

    // Whether a recording of this many samples fits the format.
    static bool Fits(std::uint64_t nSamples) { return nSamples * 2 <= kMaxDataBytes; }

    // Writes the header of a recording of nSamples samples. Throws
    // CRelmuthException (the save message, and why) when it does not fit.
    CWaveWriter(CByteSink& sink, int nSampleRate, std::uint64_t nSamples);

    // Samples from -1.0 to 1.0, as 16-bit values rounded to the nearest.
    void Write(const float* pSamples, std::size_t nCount);
    // Writes what is buffered; throws when the samples written are not the
    // number the header gave.
    void Finish();

  private:
    void FlushBuffer();

    CByteSink& m_sink;
    std::uint64_t m_nSamples;
    std::uint64_t m_nWritten = 0;
    std::vector<std::uint8_t> m_buffer;
};
