// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Recording.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "audio/CassetteEncoder.h"
#include "audio/SoundFile.h"
#include "audio/WaveWriter.h"
#include "tape/BlockInfo.h"

namespace {

constexpr std::size_t kChunkFrames = 16384;

// Blocks by the one block-building rule, with the faults of each record
// moved to the block and offset where its bytes went.
class CRecordingBuilder final : public CDecodedRecordSink {
  public:
    void OnRecord(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                  std::span<const std::uint8_t> bytes,
                  std::span<const CByteFaultAt> faults) override {
        const std::size_t nBefore = m_blocks.size();
        const std::size_t nOldSize = nBefore != 0 ? m_blocks.back().m_data.size() : 0;
        // A named header is a record of its own on every tape image, and the
        // rule joins the next record to it as its body: pass it on apart
        // even when the body followed without a pause.
        const std::size_t nHeader = NamedHeaderSize(bytes.data(), bytes.size());
        if (nHeader != 0 && nHeader < bytes.size()) {
            const auto nHeaderTicks =
                std::min(nDuration, static_cast<std::uint32_t>(nHeader * TicksPerByte(nBaud)));
            m_builder.OnData(nStart, nHeaderTicks, nBaud, bytes.first(nHeader));
            m_builder.OnData(nStart + nHeaderTicks, nDuration - nHeaderTicks, nBaud,
                             bytes.subspan(nHeader));
        } else {
            m_builder.OnData(nStart, nDuration, nBaud, bytes);
        }
        const std::size_t nBase = m_blocks.size() != nBefore ? 0 : nOldSize;
        for (const CByteFaultAt& f : faults)
            m_damage.push_back(
                CDamagedByte{m_blocks.size() - 1, nBase + f.nIndex, f.dSeconds, f.fault});
    }

    std::vector<CTapeBlock> m_blocks;
    std::vector<CDamagedByte> m_damage;

  private:
    CBlockBuilder m_builder{m_blocks};
};

class CWaveSampleSink final : public CSampleSink {
  public:
    explicit CWaveSampleSink(CWaveWriter& writer) : m_writer(writer) {}
    void WriteSamples(const float* pSamples, std::size_t nCount) override {
        m_writer.Write(pSamples, nCount);
    }

  private:
    CWaveWriter& m_writer;
};

} // namespace

std::string DescribeDamage(const CDamagedByte& damage) {
    const auto ms = static_cast<long long>(damage.dSeconds * 1000.0 + 0.5);
    char time[32];
    std::snprintf(time, sizeof time, "%lld:%02lld.%03lld", ms / 60000, ms / 1000 % 60, ms % 1000);
    const res::StringId what = damage.fault == ByteFault::framing     ? res::IDS_FAULT_FRAMING
                               : damage.fault == ByteFault::undecided ? res::IDS_FAULT_UNDECIDED
                                                                      : res::IDS_FAULT_LOST;
    const std::string fields[] = {std::to_string(damage.nBlock), std::to_string(damage.nOffset),
                                  time, std::string(res::LoadString(what))};
    const std::string_view pattern = res::LoadString(res::IDS_RECORDING_FAULT_LINE);
    std::string line;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '4') {
            line += fields[pattern[i + 1] - '1'];
            ++i;
        } else {
            line += pattern[i];
        }
    }
    return line;
}

std::vector<CDamagedByte> ReadRecording(const std::string& strPath,
                                        const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks,
                                        CDecodeProgress* pProgress) {
    const auto reader = CSoundFileReader::OpenFile(strPath);
    return ReadRecording(*reader, options, blocks, pProgress);
}

std::vector<CDamagedByte> ReadRecording(std::span<const std::uint8_t> file,
                                        const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks,
                                        CDecodeProgress* pProgress) {
    const auto reader = CSoundFileReader::OpenMemory(file);
    return ReadRecording(*reader, options, blocks, pProgress);
}

// One way of reading the file: a channel (or the mix of all) and its decoder.
struct CRecordingDecoder::Candidate {
    int nChannel; // -1: the mix
    CRecordingBuilder builder;
    std::unique_ptr<CCassetteDecoder> decoder;

    // Clean bytes count for a channel, damaged ones against it: a dead
    // channel (nothing) loses to a live one, and noise that frames as
    // faulty bytes loses to a clean reading.
    long long Score() const {
        return static_cast<long long>(decoder->GetByteCount()) -
               5 * static_cast<long long>(decoder->GetFaultCount());
    }
};

CRecordingDecoder::CRecordingDecoder(double dSampleRate, int nChannels,
                                     const CRecordingOptions& options)
    : m_nChannels(std::max(nChannels, 1)) {
    std::vector<int> channels;
    switch (options.channel) {
    case RecordingChannel::automatic:
        for (int c = 0; c < std::min(m_nChannels, 2); ++c)
            channels.push_back(c);
        break;
    case RecordingChannel::left:
        channels.push_back(0);
        break;
    case RecordingChannel::right:
        channels.push_back(m_nChannels > 1 ? 1 : 0);
        break;
    case RecordingChannel::mix:
        channels.push_back(m_nChannels > 1 ? -1 : 0);
        break;
    }
    for (const int c : channels) {
        auto candidate = std::make_unique<Candidate>();
        candidate->nChannel = c;
        candidate->decoder =
            std::make_unique<CCassetteDecoder>(dSampleRate, candidate->builder, options.nBaud);
        m_candidates.push_back(std::move(candidate));
    }
}

CRecordingDecoder::~CRecordingDecoder() = default;

void CRecordingDecoder::Feed(const float* pFrames, std::size_t nFrames) {
    if (nFrames == 0)
        return; // an empty chunk may come with no buffer at all
    const auto stride = static_cast<std::size_t>(m_nChannels);
    for (const auto& candidate : m_candidates) {
        if (candidate->nChannel >= 0) {
            candidate->decoder->Feed(pFrames + candidate->nChannel, nFrames, stride);
            continue;
        }
        m_mix.assign(nFrames, 0.0f);
        for (std::size_t i = 0; i < nFrames; ++i) {
            for (std::size_t c = 0; c < stride; ++c)
                m_mix[i] += pFrames[i * stride + c];
            m_mix[i] /= static_cast<float>(stride);
        }
        candidate->decoder->Feed(m_mix.data(), nFrames);
    }
}

std::vector<CDamagedByte> CRecordingDecoder::Finish(std::vector<CTapeBlock>& blocks) {
    Candidate* pBest = nullptr;
    for (const auto& candidate : m_candidates) {
        candidate->decoder->Finish();
        if (pBest == nullptr || candidate->Score() > pBest->Score())
            pBest = candidate.get();
    }
    const std::size_t nBase = blocks.size();
    std::vector<CDamagedByte> damage = std::move(pBest->builder.m_damage);
    for (CDamagedByte& d : damage)
        d.nBlock += nBase;
    for (CTapeBlock& block : pBest->builder.m_blocks)
        blocks.push_back(std::move(block));
    return damage;
}

std::vector<CDamagedByte> ReadRecording(CSoundFileReader& reader, const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks,
                                        CDecodeProgress* pProgress) {
    const int nChannels = reader.GetChannels();
    CRecordingDecoder decoder(reader.GetSampleRate(), nChannels, options);
    std::vector<float> frames(kChunkFrames * static_cast<std::size_t>(nChannels));
    const std::uint64_t nTotal = reader.GetFrames();
    std::uint64_t nDone = 0;
    for (;;) {
        const std::size_t n = reader.Read(frames.data(), kChunkFrames);
        if (n == 0)
            break;
        decoder.Feed(frames.data(), n);
        nDone += n;
        if (pProgress != nullptr &&
            !pProgress->OnDecodeProgress(
                nTotal != 0 ? std::min(1.0, static_cast<double>(nDone) / nTotal) : 0.0))
            throw CRecordingCancelled();
    }
    std::vector<CTapeBlock> decoded;
    std::vector<CDamagedByte> damage = decoder.Finish(decoded);
    if (pProgress != nullptr && !pProgress->OnDecodeProgress(1.0))
        throw CRecordingCancelled();
    for (CDamagedByte& d : damage)
        d.nBlock += blocks.size();
    for (CTapeBlock& block : decoded)
        blocks.push_back(std::move(block));
    return damage;
}

void WriteRecording(const std::function<void(CTapeRecordSink&)>& walk, CByteSink& out,
                    int nSampleRate) {
    // The length first, for the header and for a recording too long for
    // WAV, which is refused before a byte is written; then the samples go
    // straight out, with nothing staged apart from the sink.
    CCassetteEncoder counter(nSampleRate);
    walk(counter);
    CWaveWriter writer(out, nSampleRate, counter.SampleCount());
    CWaveSampleSink samples(writer);
    CCassetteEncoder encoder(nSampleRate, samples);
    walk(encoder);
    encoder.Flush();
    writer.Finish();
}

void WriteRecording(const std::vector<CTapeBlock>& blocks, CByteSink& out, int nSampleRate) {
    WriteRecording([&blocks](CTapeRecordSink& sink) { LayOutBlocks(blocks, sink); }, out,
                   nSampleRate);
}
