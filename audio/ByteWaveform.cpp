// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ByteWaveform.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "audio/SoundFile.h"

namespace {

constexpr std::size_t kChunkFrames = 16384;
// Signal shown before the first byte drawn and after the last, in bit periods.
constexpr double kMarginBits = 2.0;

using OpenReader = std::function<std::unique_ptr<CSoundFileReader>()>;

// Frames [nFrom, nTo) of one channel (-1: the mix), read through the file.
std::vector<float> ReadWindow(CSoundFileReader& reader, int nChannel, std::uint64_t nFrom,
                              std::uint64_t nTo) {
    const auto nChannels = static_cast<std::size_t>(reader.GetChannels());
    std::vector<float> frames(kChunkFrames * nChannels);
    std::vector<float> window;
    std::uint64_t nAt = 0;
    while (nAt < nTo) {
        const std::size_t n = reader.Read(frames.data(), kChunkFrames);
        if (n == 0)
            break;
        for (std::size_t i = 0; i < n; ++i, ++nAt) {
            if (nAt < nFrom || nAt >= nTo)
                continue;
            const float* frame = frames.data() + i * nChannels;
            if (nChannel >= 0) {
                window.push_back(frame[nChannel]);
                continue;
            }
            float sum = 0;
            for (std::size_t c = 0; c < nChannels; ++c)
                sum += frame[c];
            window.push_back(sum / static_cast<float>(nChannels));
        }
    }
    return window;
}

std::optional<CByteWaveform> Read(const OpenReader& open, const CRecordingOptions& options,
                                  std::size_t nBlock, std::size_t nOffset) {
    // First the decoding, keeping the cells around the byte.
    std::vector<CTapeBlock> blocks;
    std::vector<CDamagedByte> damage;
    std::vector<CPlacedCells> kept;
    int nChannel = 0;
    double dRate = 0;
    {
        const auto reader = open();
        dRate = reader->GetSampleRate();
        CRecordingDecoder decoder(dRate, reader->GetChannels(), options);
        decoder.KeepCells(nBlock, nOffset > kWaveformContext ? nOffset - kWaveformContext : 0,
                          nOffset + kWaveformContext + 1);
        std::vector<float> frames(kChunkFrames * static_cast<std::size_t>(reader->GetChannels()));
        while (const std::size_t n = reader->Read(frames.data(), kChunkFrames))
            decoder.Feed(frames.data(), n);
        damage = decoder.Finish(blocks);
        kept = decoder.GetKeptCells();
        nChannel = decoder.GetChosenChannel();
    }
    if (nBlock >= blocks.size() || nOffset >= blocks[nBlock].m_data.size())
        return std::nullopt;
    const auto shown = std::find_if(kept.begin(), kept.end(),
                                    [&](const CPlacedCells& c) { return c.nOffset == nOffset; });
    if (shown == kept.end())
        return std::nullopt;

    CByteWaveform wave;
    wave.dSampleRate = dRate;
    wave.nChannel = nChannel;
    wave.nBaud = blocks[nBlock].m_nBaud;
    wave.nBlock = nBlock;
    wave.nOffset = nOffset;
    wave.nShown = static_cast<std::size_t>(shown - kept.begin());
    const double tb = BitSeconds(wave.nBaud);
    const double t0 = std::max(0.0, kept.front().cells.edges[0] - kMarginBits * tb);
    const double t1 = kept.back().cells.edges[kBitsPerByte] + kMarginBits * tb;
    wave.nFirstSample = static_cast<std::uint64_t>(std::floor(t0 * dRate));
    const auto nEnd = static_cast<std::uint64_t>(std::ceil(t1 * dRate));
    const double dFirst = static_cast<double>(wave.nFirstSample);
    for (const CPlacedCells& placed : kept) {
        const CByteCells& c = placed.cells;
        CWaveformByte byte{placed.nOffset, {}, {}, {}, 0, c.bLost, std::nullopt};
        for (int i = 0; i <= kBitsPerByte; ++i)
            byte.cells[i] = c.edges[i] * dRate - dFirst;
        std::copy(std::begin(c.bits), std::end(c.bits), byte.bits);
        std::copy(std::begin(c.margins), std::end(c.margins), byte.margins);
        // The tape's byte, which a lost one's cells do not give.
        byte.nValue = blocks[nBlock].m_data[placed.nOffset];
        for (const CDamagedByte& d : damage) {
            if (d.nBlock == nBlock && d.nOffset == placed.nOffset)
                byte.fault = d.fault;
        }
        wave.bytes.push_back(byte);
    }

    const CWaveformByte& byte = wave.bytes[wave.nShown];
    const auto damaged = std::find_if(damage.begin(), damage.end(), [&](const CDamagedByte& d) {
        return d.nBlock == nBlock && d.nOffset == nOffset;
    });
    if (damaged != damage.end() && damaged->nAlternatives != 0) {
        wave.readings.push_back(byte.nValue);
        wave.readings.insert(wave.readings.end(), damaged->alternatives,
                             damaged->alternatives +
                                 std::min<std::size_t>(damaged->nAlternatives, kMaxAlternatives));
    } else {
        wave.readings = ReadingsOf(byte);
    }

    // Then the signal under the bytes.
    const auto reader = open();
    wave.samples = ReadWindow(*reader, nChannel, wave.nFirstSample, nEnd);
    return wave;
}

} // namespace

std::vector<std::uint8_t> ReadingsOf(const CWaveformByte& byte) {
    if (byte.bLost)
        return {byte.nValue};
    int order[kDataBits];
    for (int i = 0; i < kDataBits; ++i)
        order[i] = i;
    std::stable_sort(order, order + kDataBits,
                     [&](int a, int b) { return byte.margins[1 + a] < byte.margins[1 + b]; });
    const auto a = static_cast<std::uint8_t>(1u << order[0]);
    const auto b = static_cast<std::uint8_t>(1u << order[1]);
    return {byte.nValue, static_cast<std::uint8_t>(byte.nValue ^ a),
            static_cast<std::uint8_t>(byte.nValue ^ b),
            static_cast<std::uint8_t>(byte.nValue ^ a ^ b)};
}

std::optional<CByteWaveform> ReadByteWaveform(const std::string& strPath,
                                              const CRecordingOptions& options, std::size_t nBlock,
                                              std::size_t nOffset) {
    return Read([&] { return CSoundFileReader::OpenFile(strPath); }, options, nBlock, nOffset);
}

std::optional<CByteWaveform> ReadByteWaveform(std::span<const std::uint8_t> file,
                                              const CRecordingOptions& options, std::size_t nBlock,
                                              std::size_t nOffset) {
    return Read([&] { return CSoundFileReader::OpenMemory(file); }, options, nBlock, nOffset);
}
