// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform of one byte of a recording: the signal around it, the cells
// and bytes the decoder framed on it where our writer put them, and the
// readings of a spoiled byte.
#include <gtest/gtest.h>

#include <cmath>

#include "Signals.h"
#include "audio/ByteWaveform.h"

using namespace signals;

namespace {

constexpr int kRate = 44100;
// The writer's time line below: half a second of silence, a leader of one
// second, then the bytes.
constexpr double kDataStart = 1.5;

Samples WriteBlock(const ByteArray& bytes, int nBaud) {
    return Write(
        [&](CTapeRecordSink& sink) {
            sink.OnGap(TapeGap::outer, 0, 2400);
            const auto nTicks = static_cast<std::uint32_t>(bytes.size() * TicksPerByte(nBaud));
            sink.OnData(2400, nTicks, nBaud, bytes);
            sink.OnGap(TapeGap::inner, 2400 + nTicks, 2400);
            sink.OnGap(TapeGap::outer, 4800 + nTicks, 2400);
        },
        kRate, 4800);
}

// How far the decoder's cell edges may lie from the writer's: a tone edge
// is seen at the end of the first half-period of the new tone, after the
// filters' delay (a space-to-mark edge about 11 samples late at 44.1 kHz),
// while a cell is a whole bit period out when a byte is misplaced.
constexpr double kEdgeLag = 0.35 * kRate / kBaudFast;

// Where the writer put cell i of byte k, in samples of the recording.
double CellEdge(std::size_t k, int i, int nBaud) {
    return (kDataStart + (static_cast<double>(k) * kBitsPerByte + i) / nBaud) * kRate;
}

// The samples as a 16-bit WAV file, and as that file reads back.
ByteArray WaveFileOf(Samples& x) {
    const ByteArray file = WaveFile(x, kRate);
    for (float& v : x)
        v = std::round(std::clamp(v, -1.0f, 1.0f) * 32767.0f) / 32768.0f;
    return file;
}

// The frame the writer sends for a byte.
std::vector<bool> Frame(std::uint8_t value) {
    std::vector<bool> bits{false};
    for (int i = 0; i < kDataBits; ++i)
        bits.push_back(((value >> i) & 1) != 0);
    bits.insert(bits.end(), kStopBits, true);
    return bits;
}

} // namespace

// Bit 2 of byte 6 (a space) drowned in silence: the byte reads with that
// bit as mark, undecided; its first other reading is the byte written.
// The bytes around it are where the writer put them, clean, and the
// window is the recording's own samples under them.
TEST(ByteWaveform, ShowsTheSpoiledByteAmongItsNeighboursWithItsReadings) {
    ByteArray bytes;
    for (int i = 0; i < 12; ++i)
        bytes.push_back(static_cast<std::uint8_t>(0x11 * i + 0x08));
    bytes[6] = 0x5A;
    Samples x = WriteBlock(bytes, kBaudFast);
    const auto from = static_cast<std::size_t>(CellEdge(6, 3, kBaudFast));
    const auto to = static_cast<std::size_t>(CellEdge(6, 4, kBaudFast));
    std::fill(x.begin() + static_cast<std::ptrdiff_t>(from),
              x.begin() + static_cast<std::ptrdiff_t>(to), 0.0f);
    const ByteArray file = WaveFileOf(x);

    const auto wave = ReadByteWaveform(file, {}, 0, 6);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->dSampleRate, kRate);
    EXPECT_EQ(wave->nChannel, 0);
    EXPECT_EQ(wave->nBaud, kBaudFast);
    EXPECT_EQ(wave->nBlock, 0u);
    EXPECT_EQ(wave->nOffset, 6u);
    ASSERT_EQ(wave->bytes.size(), 2 * kWaveformContext + 1);
    EXPECT_EQ(wave->nShown, kWaveformContext);

    for (std::size_t j = 0; j < wave->bytes.size(); ++j) {
        const CWaveformByte& b = wave->bytes[j];
        const std::size_t k = 6 - kWaveformContext + j;
        EXPECT_EQ(b.nOffset, k);
        EXPECT_FALSE(b.bLost);
        for (int i = 0; i <= kBitsPerByte; ++i) {
            const double want = CellEdge(k, i, kBaudFast) - static_cast<double>(wave->nFirstSample);
            EXPECT_NEAR(b.cells[i], want, kEdgeLag) << "byte " << k << " cell " << i;
        }
        const std::uint8_t read = k == 6 ? 0x5E : bytes[k];
        EXPECT_EQ(b.nValue, read) << "byte " << k;
        EXPECT_EQ(std::vector<bool>(b.bits, b.bits + kBitsPerByte), Frame(read)) << "byte " << k;
        EXPECT_EQ(b.fault, k == 6 ? std::optional(ByteFault::undecided) : std::nullopt);
    }
    EXPECT_LT(wave->bytes[kWaveformContext].margins[3], 0.35);

    // The decoding's reading, the byte written (the silent bit the other
    // way), the next weakest bit flipped, both.
    ASSERT_EQ(wave->readings.size(), 1 + kMaxAlternatives);
    EXPECT_EQ(wave->readings[0], 0x5E);
    EXPECT_EQ(wave->readings[1], 0x5A);
    const auto second = static_cast<std::uint8_t>(wave->readings[2] ^ 0x5E);
    EXPECT_EQ(std::popcount(second), 1);
    EXPECT_EQ(wave->readings[3], 0x5A ^ second);

    const double first = CellEdge(3, 0, kBaudFast) - 2.0 * kRate / kBaudFast;
    EXPECT_NEAR(static_cast<double>(wave->nFirstSample), first, 4.0);
    ASSERT_GT(wave->samples.size(), 7 * kBitsPerByte * 36u);
    const Samples under(x.begin() + static_cast<std::ptrdiff_t>(wave->nFirstSample),
                        x.begin() +
                            static_cast<std::ptrdiff_t>(wave->nFirstSample + wave->samples.size()));
    EXPECT_EQ(wave->samples, under);
}

// A BASIC program's header and body in one stretch of signal become one
// block: a body byte is found at its offset in that block, as the damage
// list counts it, and a byte the decoding does not have is none.
TEST(ByteWaveform, FindsABodyByteAfterItsHeaderAndNoByteBeyondTheTape) {
    ByteArray bytes(10, 0xD3);
    for (char c : std::string("HELLO "))
        bytes.push_back(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 12; ++i)
        bytes.push_back(static_cast<std::uint8_t>(0x21 + i));
    Samples x = WriteBlock(bytes, kBaudFast);
    const auto from = static_cast<std::size_t>(CellEdge(20, 2, kBaudFast));
    const auto to = static_cast<std::size_t>(CellEdge(20, 3, kBaudFast));
    std::fill(x.begin() + static_cast<std::ptrdiff_t>(from),
              x.begin() + static_cast<std::ptrdiff_t>(to), 0.0f);
    const ByteArray file = WaveFileOf(x);

    const auto wave = ReadByteWaveform(file, {}, 0, 20);
    ASSERT_TRUE(wave);
    const CWaveformByte& shown = wave->bytes[wave->nShown];
    EXPECT_EQ(shown.nOffset, 20u);
    EXPECT_EQ(shown.fault, ByteFault::undecided);
    EXPECT_NEAR(shown.cells[0], CellEdge(20, 0, kBaudFast) - double(wave->nFirstSample), kEdgeLag);
    EXPECT_EQ(wave->readings[1], bytes[20]);

    EXPECT_FALSE(ReadByteWaveform(file, {}, 0, bytes.size()));
    EXPECT_FALSE(ReadByteWaveform(file, {}, 1, 0));
}

// A dropout in the middle of a block: the bytes where the signal was lost
// are drawn where they should lie, one frame each, with their value
// unknown and no other reading; the clean bytes after them keep their
// offsets and their place on the signal.
TEST(ByteWaveform, LostBytesLieWhereTheyShouldAndKeepTheOffsetsAfterThem) {
    ByteArray bytes;
    for (int i = 0; i < 40; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i * 13 + 5));
    Samples x = WriteBlock(bytes, kBaudFast);
    const double byte = 11.0 / kBaudFast;
    Gain(x, kDataStart + 20 * byte, kDataStart + 24 * byte, 0.005);
    const ByteArray file = WaveFileOf(x);

    const auto lost = ReadByteWaveform(file, {}, 0, 22);
    ASSERT_TRUE(lost);
    const CWaveformByte& shown = lost->bytes[lost->nShown];
    EXPECT_TRUE(shown.bLost);
    EXPECT_EQ(shown.fault, ByteFault::lost);
    EXPECT_EQ(lost->readings, std::vector<std::uint8_t>{0});
    for (int i = 0; i <= kBitsPerByte; ++i)
        EXPECT_NEAR(shown.cells[i], CellEdge(22, i, kBaudFast) - double(lost->nFirstSample),
                    kEdgeLag + 0.1 * kRate / kBaudFast);

    const auto after = ReadByteWaveform(file, {}, 0, 30);
    ASSERT_TRUE(after);
    const CWaveformByte& clean = after->bytes[after->nShown];
    EXPECT_EQ(clean.nValue, bytes[30]);
    EXPECT_EQ(clean.fault, std::nullopt);
    EXPECT_NEAR(clean.cells[0], CellEdge(30, 0, kBaudFast) - double(after->nFirstSample), kEdgeLag);
}
