// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeRecords.h"

#include <algorithm>

#include "tape/BlockInfo.h"

namespace {

// Gaps the KXM writer leaves around each block, in ticks.
constexpr std::uint32_t kLeadingOuterGap = 7200;
constexpr std::uint32_t kLeadingInnerGap = 2400;
constexpr std::uint32_t kHeaderBodyGap = 480;
constexpr std::uint32_t kTrailingInnerGap = 4800;
constexpr std::uint32_t kTrailingOuterGap = 9600;

// The largest data record the layout makes of a block without a header.
constexpr std::size_t kMaxChunk = 0x8000;

// Adds up the durations of a time line whose records follow each other.
class CDurationSum final : public CTapeRecordSink {
  public:
    void OnData(std::uint32_t, std::uint32_t nDuration, int,
                std::span<const std::uint8_t>) override {
        m_nTotal += nDuration;
    }
    void OnGap(TapeGap, std::uint32_t, std::uint32_t nDuration) override { m_nTotal += nDuration; }
    std::uint64_t Total() const { return m_nTotal; }

  private:
    std::uint64_t m_nTotal = 0;
};

} // namespace

void CBlockBuilder::OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                           std::span<const std::uint8_t> bytes) {
    const std::uint32_t absStart = nStart + m_nBase;
    const bool bContinue = !m_blocks.empty() && (m_bJoin || absStart <= m_nEnd);
    if (bContinue) {
        ByteArray& data = m_blocks.back().m_data;
        data.insert(data.end(), bytes.begin(), bytes.end());
        m_bJoin = false;
    } else {
        CTapeBlock& block = m_blocks.emplace_back();
        block.m_nBaud = nBaud == kBaudSlow ? kBaudSlow : kBaudFast;
        block.m_data.assign(bytes.begin(), bytes.end());
        m_bJoin = NamedHeaderSize(bytes.data(), bytes.size()) != 0;
    }
    m_nEnd = absStart + nDuration;
}

void LayOutBlocks(const std::vector<CTapeBlock>& blocks, CTapeRecordSink& sink) {
    std::uint32_t time = 0; // wraps like the 32-bit fields it is written to
    const auto gap = [&](TapeGap kind, std::uint32_t duration) {
        sink.OnGap(kind, time, duration);
        time += duration;
    };

    for (std::size_t nBlock = 0; nBlock < blocks.size(); ++nBlock) {
        const CTapeBlock& block = blocks[nBlock];
        const std::uint32_t ticksPerByte = TicksPerByte(block.m_nBaud);
        const int nBaud = block.IsSlow() ? kBaudSlow : kBaudFast;
        std::span<const std::uint8_t> left(block.m_data);

        // A named header goes in a record of its own, apart from its body.
        std::size_t nHeader = NamedHeaderSize(left.data(), left.size());

        gap(TapeGap::outer, kLeadingOuterGap);
        gap(TapeGap::inner, kLeadingInnerGap);
        // An empty block still gets one data record, of no bytes.
        do {
            const std::size_t nChunk = nHeader != 0 ? nHeader : std::min(left.size(), kMaxChunk);
            const auto duration = static_cast<std::uint32_t>(nChunk * ticksPerByte);
            sink.OnData(time, duration, nBaud, left.first(nChunk));
            time += duration;
            left = left.subspan(nChunk);
            if (nHeader != 0) {
                gap(TapeGap::inner, kHeaderBodyGap);
                nHeader = 0;
            }
        } while (!left.empty());
        sink.OnBlockLaidOut(nBlock);
        gap(TapeGap::inner, kTrailingInnerGap);
        gap(TapeGap::outer, kTrailingOuterGap);
    }
}

std::uint64_t LaidOutTicks(const std::vector<CTapeBlock>& blocks) {
    CDurationSum sum;
    LayOutBlocks(blocks, sum);
    return sum.Total();
}
