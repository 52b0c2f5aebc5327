// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Recording.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "audio/CassetteEncoder.h"
#include "audio/SoundFile.h"
#include "audio/WaveWriter.h"
#include "tape/BlockInfo.h"

namespace {

constexpr std::size_t kChunkFrames = 16384;

// Blocks by the one block-building rule, with the faults of each record
// moved to the block and offset where its bytes went.
class CRecordingBuilder final : public CDecodedRecordSink, public CByteCellObserver {
  public:
    // The cells of the bytes [nFrom, nTo) of block nBlock are kept.
    void KeepCells(std::size_t nBlock, std::size_t nFrom, std::size_t nTo) {
        m_keep = Keep{nBlock, nFrom, nTo};
    }
    void OnByteCells(const CByteCells& cells) override {
        if (m_keep)
            m_pending.push_back(cells);
    }

    void OnRecord(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                  std::span<const std::uint8_t> bytes, std::span<const CByteFaultAt> faults,
                  std::span<const std::uint8_t> confidence) override {
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
        std::vector<CByteCells> pending = std::move(m_pending);
        m_pending.clear();
        if (m_blocks.empty())
            return;
        // The record's bytes go where its faults go.
        for (const CByteCells& cells : pending) {
            const CPlacedCells placed{m_blocks.size() - 1, nBase + cells.nIndex, cells};
            if (placed.nBlock == m_keep->nBlock && placed.nOffset >= m_keep->nFrom &&
                placed.nOffset < m_keep->nTo)
                m_kept.push_back(placed);
        }
        m_sums.resize(m_blocks.size());
        Sums& sums = m_sums.back();
        sums.confidence.resize(nBase);
        sums.confidence.insert(sums.confidence.end(), confidence.begin(), confidence.end());
        for (const std::uint8_t c : confidence) {
            sums.dTotal += c;
            sums.nWeakest = std::min(sums.nWeakest, c);
        }
        sums.nBytes += confidence.size();
        sums.nDamaged += faults.size();
        for (const CByteFaultAt& f : faults) {
            CDamagedByte d{m_blocks.size() - 1, nBase + f.nIndex, f.dSeconds, f.fault, f.nSlip,
                           f.nAlternatives};
            std::copy(std::begin(f.alternatives), std::end(f.alternatives), d.alternatives);
            m_damage.push_back(d);
        }
    }

    // The quality of every block, from its bytes' confidence.
    std::vector<CBlockQuality> Qualities() const {
        std::vector<CBlockQuality> out;
        for (std::size_t i = 0; i < m_blocks.size(); ++i) {
            const Sums sums = i < m_sums.size() ? m_sums[i] : Sums{};
            const std::size_t n = std::max<std::size_t>(sums.nBytes, 1);
            out.push_back(CBlockQuality{sums.dTotal / 255.0 / static_cast<double>(n),
                                        sums.nBytes == 0 ? 0.0 : sums.nWeakest / 255.0,
                                        sums.nDamaged, sums.confidence});
        }
        return out;
    }

    std::vector<CTapeBlock> m_blocks;
    std::vector<CDamagedByte> m_damage;
    std::vector<CPlacedCells> m_kept;

  private:
    struct Keep {
        std::size_t nBlock, nFrom, nTo;
    };
    std::optional<Keep> m_keep;
    std::vector<CByteCells> m_pending; // of the record under way
    struct Sums {
        double dTotal = 0;
        std::uint8_t nWeakest = 255;
        std::size_t nBytes = 0;
        std::size_t nDamaged = 0;
        std::vector<std::uint8_t> confidence;
    };
    std::vector<Sums> m_sums;
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

// The pattern with %1, %2, ... replaced by fields.
std::string Fill(std::string_view pattern, std::span<const std::string> fields) {
    std::string line;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t n =
            i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - '1') : fields.size();
        if (pattern[i] == '%' && n < fields.size()) {
            line += fields[n];
            ++i;
        } else {
            line += pattern[i];
        }
    }
    return line;
}

std::string DescribeFault(const CDamagedByte& damage) {
    switch (damage.fault) {
    case ByteFault::framing:
        return std::string(res::LoadString(res::IDS_FAULT_FRAMING));
    case ByteFault::undecided:
        return std::string(res::LoadString(res::IDS_FAULT_UNDECIDED));
    case ByteFault::lost:
        return std::string(res::LoadString(res::IDS_FAULT_LOST));
    case ByteFault::slip:
        break;
    }
    if (damage.nSlip == 0)
        return std::string(res::LoadString(res::IDS_FAULT_SLIP));
    const std::string count[] = {std::to_string(damage.nSlip > 0 ? damage.nSlip : -damage.nSlip)};
    return Fill(res::LoadString(damage.nSlip > 0 ? res::IDS_FAULT_MISSING : res::IDS_FAULT_EXTRA),
                count);
}

} // namespace

std::string DescribeDamage(const CDamagedByte& damage) {
    const auto ms = static_cast<long long>(damage.dSeconds * 1000.0 + 0.5);
    char time[32];
    std::snprintf(time, sizeof time, "%lld:%02lld.%03lld", ms / 60000, ms / 1000 % 60, ms % 1000);
    std::string what = DescribeFault(damage);
    if (damage.nAlternatives != 0) {
        std::string values;
        for (std::size_t i = 0; i < damage.nAlternatives && i < kMaxAlternatives; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", damage.alternatives[i]);
            if (i != 0)
                values += ' ';
            values += hex;
        }
        const std::string alternatives[] = {values};
        what += " (" + Fill(res::LoadString(res::IDS_FAULT_ALTERNATIVES), alternatives) + ")";
    }
    const std::string fields[] = {std::to_string(damage.nBlock), std::to_string(damage.nOffset),
                                  time, what};
    return Fill(res::LoadString(res::IDS_RECORDING_FAULT_LINE), fields);
}

std::vector<CDamagedByte> ReadRecording(const std::string& strPath,
                                        const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks, CDecodeProgress* pProgress,
                                        std::vector<CBlockQuality>* pQuality) {
    const auto reader = CSoundFileReader::OpenFile(strPath);
    return ReadRecording(*reader, options, blocks, pProgress, pQuality);
}

std::vector<CDamagedByte> ReadRecording(std::span<const std::uint8_t> file,
                                        const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks, CDecodeProgress* pProgress,
                                        std::vector<CBlockQuality>* pQuality) {
    const auto reader = CSoundFileReader::OpenMemory(file);
    return ReadRecording(*reader, options, blocks, pProgress, pQuality);
}

// One way of reading the file: a channel (or the mix of all) and its decoder.
struct CRecordingDecoder::Candidate {
    int nChannel; // -1: the mix
    CRecordingBuilder builder;
    std::unique_ptr<CCassetteDecoder> decoder;

    // A channel that gave blocks beats one that gave none, however damaged
    // they are; then clean bytes count for a channel and damaged ones
    // against it, so that noise that frames as faulty bytes loses to a
    // clean reading.
    bool IsBetterThan(const Candidate& other) const {
        const bool bBlocks = !builder.m_blocks.empty();
        if (bBlocks != !other.builder.m_blocks.empty())
            return bBlocks;
        return Score() > other.Score();
    }
    long long Score() const {
        return static_cast<long long>(decoder->GetCleanCount()) -
               static_cast<long long>(decoder->GetFaultCount());
    }
};

CRecordingDecoder::CRecordingDecoder(double dSampleRate, int nChannels,
                                     const CRecordingOptions& options)
    : m_nChannels(std::max(nChannels, 1)) {
    std::vector<int> channels;
    switch (options.channel) {
    case RecordingChannel::automatic:
        for (int c = 0; c < m_nChannels; ++c)
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

std::vector<CDamagedByte> CRecordingDecoder::Finish(std::vector<CTapeBlock>& blocks,
                                                    std::vector<CBlockQuality>* pQuality) {
    Candidate* pBest = nullptr;
    for (const auto& candidate : m_candidates) {
        candidate->decoder->Finish();
        if (pBest == nullptr || candidate->IsBetterThan(*pBest))
            pBest = candidate.get();
    }
    m_pChosen = pBest;
    if (pQuality != nullptr) {
        const std::vector<CBlockQuality> quality = pBest->builder.Qualities();
        pQuality->insert(pQuality->end(), quality.begin(), quality.end());
    }
    const std::size_t nBase = blocks.size();
    std::vector<CDamagedByte> damage = std::move(pBest->builder.m_damage);
    for (CDamagedByte& d : damage)
        d.nBlock += nBase;
    for (CTapeBlock& block : pBest->builder.m_blocks)
        blocks.push_back(std::move(block));
    return damage;
}

void CRecordingDecoder::KeepCells(std::size_t nBlock, std::size_t nFrom, std::size_t nTo) {
    for (const auto& candidate : m_candidates) {
        candidate->builder.KeepCells(nBlock, nFrom, nTo);
        candidate->decoder->SetCellObserver(&candidate->builder);
    }
}

const std::vector<CPlacedCells>& CRecordingDecoder::GetKeptCells() const {
    static const std::vector<CPlacedCells> none;
    return m_pChosen != nullptr ? m_pChosen->builder.m_kept : none;
}

int CRecordingDecoder::GetChosenChannel() const {
    return m_pChosen != nullptr ? m_pChosen->nChannel : 0;
}

std::vector<CDamagedByte> ReadRecording(CSoundFileReader& reader, const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks, CDecodeProgress* pProgress,
                                        std::vector<CBlockQuality>* pQuality) {
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
    std::vector<CBlockQuality> quality;
    std::vector<CDamagedByte> damage = decoder.Finish(decoded, &quality);
    if (pProgress != nullptr && !pProgress->OnDecodeProgress(1.0))
        throw CRecordingCancelled();
    if (pQuality != nullptr)
        pQuality->insert(pQuality->end(), quality.begin(), quality.end());
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
