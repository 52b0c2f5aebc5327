// SPDX-License-Identifier: GPL-3.0-or-later
// The recording decoder on any bytes. The first byte chooses the road: odd,
// the rest is a sound file for libsndfile (through its virtual I/O); even,
// the rest is 8-bit samples decoded directly, at a sample rate and channel
// count taken from that first byte. Whatever comes out must hang together:
// speeds of 600 or 1200 baud, every damaged byte inside its block, in order.
#include <span>

#include "FuzzCheck.h"
#include "audio/Recording.h"
#include "tape/Errors.h"

namespace {

void Check(const std::vector<CTapeBlock>& blocks, const std::vector<CDamagedByte>& damage) {
    fuzz::Keep(blocks);
    for (const CTapeBlock& block : blocks)
        FUZZ_CHECK(block.m_nBaud == kBaudSlow || block.m_nBaud == kBaudFast);
    for (std::size_t i = 0; i < damage.size(); ++i) {
        FUZZ_CHECK(damage[i].nBlock < blocks.size());
        FUZZ_CHECK(damage[i].nOffset < blocks[damage[i].nBlock].m_data.size());
        FUZZ_CHECK(damage[i].dSeconds >= 0);
        if (i > 0) {
            const CDamagedByte& last = damage[i - 1];
            FUZZ_CHECK(last.nBlock < damage[i].nBlock ||
                       (last.nBlock == damage[i].nBlock && last.nOffset < damage[i].nOffset));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    std::vector<CTapeBlock> blocks;
    if ((mode & 1) != 0) {
        try {
            CRecordingOptions options;
            options.nBaud = (mode & 2) != 0 ? kBaudSlow : 0;
            const auto damage = ReadRecording(rest, options, blocks);
            Check(blocks, damage);
        } catch (const CRelmuthException&) {
            FUZZ_CHECK(blocks.empty()); // a failed read appends nothing
        }
        return 0;
    }
    // 8000, 11025, 22050 or 44100 Hz; one or two channels.
    static constexpr double kRates[] = {8000, 11025, 22050, 44100};
    const int nChannels = (mode & 2) != 0 ? 2 : 1;
    CRecordingDecoder decoder(kRates[(mode >> 2) & 3], nChannels, {});
    std::vector<float> samples;
    for (const std::uint8_t b : rest)
        samples.push_back((static_cast<float>(b) - 128.0f) / 128.0f);
    const std::size_t nFrames = samples.size() / static_cast<std::size_t>(nChannels);
    // In two pieces, as a file comes in chunks.
    const std::size_t nHalf = nFrames / 2;
    decoder.Feed(samples.data(), nHalf);
    decoder.Feed(samples.data() + nHalf * static_cast<std::size_t>(nChannels), nFrames - nHalf);
    Check(blocks, decoder.Finish(blocks));
    return 0;
}
