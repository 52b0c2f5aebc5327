// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/WaveWriter.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tape/Archive.h"
#include "tape/Errors.h"

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr float kFullScale = 32767.0f;

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutU16(out, static_cast<std::uint16_t>(v));
    PutU16(out, static_cast<std::uint16_t>(v >> 16));
}

void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

} // namespace

CWaveWriter::CWaveWriter(CByteSink& sink, int nSampleRate, std::uint64_t nSamples)
    : m_sink(sink), m_nSamples(nSamples) {
    if (!Fits(nSamples))
        throw CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC,
                                std::string(res::LoadString(res::IDS_RECORDING_TOO_LONG)));
    const auto nData = static_cast<std::uint32_t>(nSamples * 2);
    const auto nRate = static_cast<std::uint32_t>(nSampleRate);
    m_buffer.reserve(kBufferBytes);
    PutTag(m_buffer, "RIFF");
    PutU32(m_buffer, static_cast<std::uint32_t>(kHeaderBytes - 8) + nData);
    PutTag(m_buffer, "WAVE");
    PutTag(m_buffer, "fmt ");
    PutU32(m_buffer, 16);
    PutU16(m_buffer, kFormatPcm);
    PutU16(m_buffer, 1);
    PutU32(m_buffer, nRate);
    PutU32(m_buffer, nRate * 2);
    PutU16(m_buffer, 2);
    PutU16(m_buffer, kBitsPerSample);
    PutTag(m_buffer, "data");
    PutU32(m_buffer, nData);
    FlushBuffer();
}

void CWaveWriter::Write(const float* pSamples, std::size_t nCount) {
    for (std::size_t i = 0; i < nCount; ++i) {
        const float v = std::clamp(pSamples[i] * kFullScale, -32768.0f, kFullScale);
        PutU16(m_buffer, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lrintf(v))));
        if (m_buffer.size() >= kBufferBytes)
            FlushBuffer();
    }
    m_nWritten += nCount;
}

void CWaveWriter::Finish() {
    FlushBuffer();
    if (m_nWritten != m_nSamples) // a file whose header would not tell its length
        throw CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC);
}

void CWaveWriter::FlushBuffer() {
    if (!m_buffer.empty())
        m_sink.Write(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}
