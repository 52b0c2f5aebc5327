// SPDX-License-Identifier: GPL-3.0-or-later
// Cassette recordings: signals our writer makes, spoiled by the tests' own
// code, and signals of the tests' own generator decode to exactly the
// blocks and speeds they hold; what cannot be read is reported.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "Signals.h"
#include "audio/RecordingFormats.h"
#include "audio/SoundFile.h"
#include "tape/RelmuthDoc.h"
#include "tests/ScratchFolder.h"

using namespace signals;

namespace {

ByteArray Bytes(std::initializer_list<int> list) {
    ByteArray b;
    for (int v : list)
        b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

// A BASIC program (header and body) at 1200 baud, a machine-code file of
// ':' records at 600 baud holding bytes that also frame at 1200 baud, and
// a data file at 1200 baud.
std::vector<CTapeBlock> TestTape() {
    ByteArray basic(10, 0xD3);
    for (char c : std::string("HELLO "))
        basic.push_back(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 40; ++i)
        basic.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    basic.insert(basic.end(), 10, 0x00);
    ByteArray machine = Bytes(
        {0x3A, 0xC0, 0x00, 0xC0, 0x9C, 0x3A, 0x9C, 0xFF, 0x00, 0x55, 0xAA, 0x3A, 0x00, 0x00, 0x00});
    ByteArray data(6, 0x9C);
    for (char c : std::string("DATA 1,2,3\r\n"))
        data.push_back(static_cast<std::uint8_t>(c));
    return {{basic, kBaudFast}, {machine, kBaudSlow}, {data, kBaudFast}};
}

void ExpectTape(const std::vector<CTapeBlock>& got, const std::vector<CTapeBlock>& want,
                const std::vector<CDamagedByte>& damage) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].m_nBaud, want[i].m_nBaud) << "block " << i;
        EXPECT_EQ(got[i].m_data, want[i].m_data) << "block " << i;
    }
    for (const CDamagedByte& d : damage)
        ADD_FAILURE() << DescribeDamage(d);
}

struct SpoilCase {
    const char* name;
    std::function<Samples(Samples)> spoil;
};

const SpoilCase kSpoils[] = {
    {"Clean", [](Samples x) { return x; }},
    {"Noise20dB",
     [](Samples x) {
         AddNoise(x, 20);
         return x;
     }},
    {"Noise14dB",
     [](Samples x) {
         AddNoise(x, 14, 7);
         return x;
     }},
    {"SixPercentFast", [](Samples x) { return ChangeSpeed(x, 1.06); }},
    {"SixPercentSlow", [](Samples x) { return ChangeSpeed(x, 0.94); }},
    {"SlowWobbleAndFlutter",
     [](Samples x) { return ChangeSpeed(ChangeSpeed(x, 0.97, 0.03, 0.5), 1.0, 0.005, 12); }},
    {"InvertedPolarity",
     [](Samples x) {
         Map(x, [](float v, std::size_t) { return -v; });
         return x;
     }},
    {"DcOffset",
     [](Samples x) {
         Map(x, [](float v, std::size_t) { return v + 0.35f; });
         return x;
     }},
    {"Clipped",
     [](Samples x) {
         Map(x, [](float v, std::size_t) { return std::clamp(v * 4.0f, -0.9f, 0.9f); });
         return x;
     }},
    {"Hum",
     [](Samples x) {
         Map(x, [](float v, std::size_t i) {
             return v +
                    0.4f * static_cast<float>(std::sin(2 * std::numbers::pi * 50 * i / 44100.0));
         });
         return x;
     }},
    {"LevelChanges",
     [](Samples x) {
         Map(x, [](float v, std::size_t i) {
             return v * static_cast<float>(
                            0.55 + 0.45 * std::sin(2 * std::numbers::pi * 0.3 * i / 44100.0));
         });
         return x;
     }},
};

class Spoiled : public testing::TestWithParam<SpoilCase> {};

TEST_P(Spoiled, DecodesToTheBlocksWritten) {
    const auto tape = TestTape();
    std::vector<CTapeBlock> blocks;
    const auto damage = Decode(GetParam().spoil(Write(tape)), 44100, blocks);
    ExpectTape(blocks, tape, damage);
}

INSTANTIATE_TEST_SUITE_P(Recording, Spoiled, testing::ValuesIn(kSpoils),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Recording, LowRateEightBitSamplesDecode) {
    const auto tape = TestTape();
    for (int rate : {11025, 8000}) {
        Samples x = Write([&](CTapeRecordSink& s) { LayOutBlocks(tape, s); }, rate, 2400);
        Map(x, [](float v, std::size_t) { return std::round(v * 127.0f) / 127.0f; });
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(x, rate, blocks);
        SCOPED_TRACE(rate);
        ExpectTape(blocks, tape, damage);
    }
}

TEST(Recording, StereoWithOneDeadChannelTakesTheLiveOne) {
    const auto tape = TestTape();
    const Samples x = Write(tape);
    Samples hiss(x.size());
    AddNoise(hiss = Samples(x.size(), 0.01f), 0); // a dead channel still hisses
    for (int live : {0, 1}) {
        Samples stereo;
        for (std::size_t i = 0; i < x.size(); ++i) {
            stereo.push_back(live == 0 ? x[i] : hiss[i]);
            stereo.push_back(live == 1 ? x[i] : hiss[i]);
        }
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(stereo, 44100, blocks, 2);
        SCOPED_TRACE(live);
        ExpectTape(blocks, tape, damage);
    }
}

// Our writer and decoder must not merely agree with each other.
TEST(Recording, IndependentGeneratorDecodesToItsBytes) {
    const ByteArray a = Bytes({0x3A, 0x9C, 0x00, 0xFF, 0x12, 0x34, 0xFE, 0x01, 0x80, 0x7F});
    const ByteArray b = Bytes({0xD3, 0xD3, 0x3A, 0x9C, 0xA5, 0x5A, 0xC3, 0x3C});
    for (int rate : {48000, 22050}) {
        const Samples x = Synthesize({{600, a}, {1200, b}, {600, b}}, rate);
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(x, rate, blocks);
        SCOPED_TRACE(rate);
        ExpectTape(blocks, {{a, kBaudSlow}, {b, kBaudFast}, {b, kBaudSlow}}, damage);
    }
}

// Bytes such as 3A and 9C at 600 baud also frame as good 1200-baud bytes;
// the speed comes from the bit cells all the same, and a block of them
// right after a block of the other speed (leader, no silence) keeps its own.
TEST(Recording, EachBlockKeepsItsOwnSpeedWithoutSilenceBetween) {
    const ByteArray same = Bytes({0x3A, 0x3A, 0x9C, 0x9C, 0x3A, 0x9C});
    const ByteArray mixed = Bytes({0x3A, 0x00, 0x9C, 0x41, 0x42});
    for (const auto& order :
         {std::vector<int>{600, 1200, 600}, std::vector<int>{1200, 600, 1200}}) {
        const Samples x = Write(
            [&](CTapeRecordSink& s) {
                std::uint32_t t = 0;
                for (std::size_t i = 0; i < order.size(); ++i) {
                    const ByteArray& bytes = i == 1 ? mixed : same;
                    s.OnGap(TapeGap::inner, t, 2400);
                    t += 2400;
                    const auto d =
                        static_cast<std::uint32_t>(bytes.size() * TicksPerByte(order[i]));
                    s.OnData(t, d, order[i], bytes);
                    t += d;
                }
                s.OnGap(TapeGap::inner, t, 2400);
            },
            44100, 2400);
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(x, 44100, blocks);
        ExpectTape(blocks, {{same, order[0]}, {mixed, order[1]}, {same, order[2]}}, damage);
    }
}

// Other tools play the spaces of a tape image as steady 1200 Hz tone; such
// a stretch, before, between or after blocks, is a break and no byte.
TEST(Recording, ToneBetweenBlocksIsABreakNotAByte) {
    const auto tape = TestTape();
    for (const double space : {0.05, 0.4}) {
        std::vector<Piece> pieces;
        for (const CTapeBlock& b : tape) {
            pieces.push_back({Piece::space, space});
            pieces.push_back({Piece::mark, 0.3});
            pieces.push_back({Piece::bytes, 0, b.m_nBaud, b.m_data});
            pieces.push_back({Piece::mark, 0.1});
        }
        pieces.push_back({Piece::space, space});
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(SynthesizePieces(pieces, 44100), 44100, blocks);
        SCOPED_TRACE(space);
        ExpectTape(blocks, tape, damage);
    }
}

// A float file with a NaN or an infinity in it: the byte there is named,
// and the rest of the recording decodes as it would without.
TEST(Recording, NonFiniteSamplesAreDamageNotTheEnd) {
    const auto tape = TestTape();
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        Samples x = Write(tape);
        // In the body of the first block, 20 bytes after its header.
        const double t = 2.0 + 36 * 11.0 / 1200 + 0.0004;
        x[static_cast<std::size_t>(t * 44100)] = bad;
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(x, 44100, blocks);
        ASSERT_EQ(blocks.size(), tape.size());
        ASSERT_EQ(damage.size(), 1u);
        EXPECT_EQ(damage[0].nBlock, 0u);
        EXPECT_NEAR(damage[0].dSeconds, t, 11.0 / 1200);
        EXPECT_EQ(blocks[1], tape[1]);
        EXPECT_EQ(blocks[2], tape[2]);
    }
}

// The level is the signal's own of the moment: a full-scale click does not
// make the quiet carrier after it pass for no carrier.
TEST(Recording, ClickBeforeAQuietRecordingLosesNoBlock) {
    const auto tape = TestTape();
    Samples x = Write(tape);
    Map(x, [](float v, std::size_t) { return 0.04f * v; });
    AddNoise(x, 30);
    for (std::size_t i = 3000; i < 3003; ++i)
        x[i] = 1.0f;
    std::vector<CTapeBlock> blocks;
    const auto damage = Decode(x, 44100, blocks);
    ExpectTape(blocks, tape, damage);
}

// A live channel with much damage beats a silent one; a file of four
// channels has each of them tried.
TEST(Recording, ChannelWithBlocksBeatsOneWithout) {
    const auto tape = TestTape();
    Samples live = Write(tape);
    AddNoise(live, 7, 3);
    std::vector<CTapeBlock> alone;
    const auto aloneDamage = Decode(live, 44100, alone);
    EXPECT_GT(aloneDamage.size(), 10u); // the noise is strong enough to damage it
    for (const int nChannels : {2, 4}) {
        Samples frames;
        for (const float v : live) {
            frames.insert(frames.end(), static_cast<std::size_t>(nChannels - 1), 0.0f);
            frames.push_back(v);
        }
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(frames, 44100, blocks, nChannels);
        SCOPED_TRACE(nChannels);
        EXPECT_EQ(blocks, alone);
        EXPECT_EQ(damage, aloneDamage);
    }
}

TEST(Recording, ForcedSpeedReadsEveryBlockAtIt) {
    const auto tape = TestTape();
    CRecordingOptions options;
    options.nBaud = kBaudSlow;
    std::vector<CTapeBlock> blocks;
    const auto damage = Decode(Write({tape[1]}), 44100, blocks, 1, options);
    ExpectTape(blocks, {tape[1]}, damage);
    // The 1200-baud block read at 600 cannot come out clean, and says so.
    blocks.clear();
    EXPECT_FALSE(Decode(Write({tape[0]}), 44100, blocks, 1, options).empty());
}

// A stretch where the tape lost its coating: the bytes there are reported
// (none is passed off as read), the block keeps its length, every other
// byte is right.
TEST(Recording, DropoutIsReportedNotGuessed) {
    ByteArray body;
    for (int i = 0; i < 120; ++i)
        body.push_back(static_cast<std::uint8_t>(i * 13 + 5));
    for (int baud : {kBaudFast, kBaudSlow}) {
        const CTapeBlock block{body, baud};
        Samples x = Write({block});
        // The first byte starts after 1.5 s of silence and 0.5 s of leader.
        const double tFirst = 2.0, byte = 11.0 / baud;
        const double t0 = tFirst + 50.5 * byte, t1 = t0 + 0.04;
        AddNoise(x, 30);
        Map(x, [&](float v, std::size_t i) {
            const double t = i / 44100.0;
            return t >= t0 && t < t1 ? v * 0.01f : v;
        });
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(x, 44100, blocks);
        SCOPED_TRACE(baud);
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_EQ(blocks[0].m_nBaud, baud);
        ASSERT_EQ(blocks[0].m_data.size(), body.size());
        const auto first = static_cast<std::size_t>((t0 - tFirst) / byte);
        const auto last = static_cast<std::size_t>((t1 - tFirst) / byte);
        std::vector<bool> reported(body.size());
        for (const CDamagedByte& d : damage) {
            EXPECT_EQ(d.nBlock, 0u);
            EXPECT_GE(d.nOffset + 1, first) << DescribeDamage(d);
            EXPECT_LE(d.nOffset, last + 1) << DescribeDamage(d);
            EXPECT_NEAR(d.dSeconds, tFirst + d.nOffset * byte, byte);
            reported[d.nOffset] = true;
        }
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (i > first && i < last) {
                EXPECT_TRUE(reported[i]) << "byte " << i << " in the dropout not reported";
            }
            if (!reported[i]) {
                EXPECT_EQ(blocks[0].m_data[i], body[i]) << "byte " << i;
            }
        }
    }
}

// A splice that takes part of a block out: the byte where the signal
// jumps is named as bytes missing or extra there, not passed off as read,
// and the bytes after it are those after the splice.
TEST(Recording, CutInsideABlockIsToldAsBytesMissingOrExtra) {
    const auto tape = TestTape();
    const double byte = 11.0 / 1200, tBody = 2.0 + 16 * byte + 0.1;
    for (const double cut : {0.016, 0.049}) {
        const Samples x = Cut(Write(tape), tBody + 12.3 * byte, cut);
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(x, 44100, blocks);
        SCOPED_TRACE(cut);
        ASSERT_EQ(blocks.size(), tape.size());
        ASSERT_FALSE(damage.empty());
        // The slip, perhaps after the clean byte before it, named as well.
        const auto slip = std::find_if(damage.begin(), damage.end(), [](const CDamagedByte& d) {
            return d.fault == ByteFault::slip;
        });
        ASSERT_NE(slip, damage.end());
        EXPECT_LE(slip - damage.begin(), 1) << DescribeDamage(damage[0]);
        EXPECT_EQ(slip->nBlock, 0u);
        EXPECT_NEAR(static_cast<double>(slip->nOffset), 16 + 12, 1.0);
        const ByteArray& got = blocks[0].m_data;
        const ByteArray& want = tape[0].m_data;
        const std::size_t nTail = got.size() - damage.back().nOffset - 1;
        EXPECT_TRUE(std::equal(got.end() - static_cast<std::ptrdiff_t>(nTail), got.end(),
                               want.end() - static_cast<std::ptrdiff_t>(nTail)));
        EXPECT_EQ(blocks[1], tape[1]);
    }
}

// The report's words for bytes out of step and for the readings weighed.
TEST(Recording, DamageLinesSayBytesMissingExtraAndAlternatives) {
    CDamagedByte missing{2, 40, 61.5, ByteFault::slip, 3};
    EXPECT_EQ(DescribeDamage(missing),
              "ブロック 2、40 バイト目 (録音の 1:01.500): この前で約 3 バイトが欠落");
    CDamagedByte extra{0, 7, 0.25, ByteFault::slip, -1};
    EXPECT_EQ(DescribeDamage(extra),
              "ブロック 0、7 バイト目 (録音の 0:00.250): この前で約 1 バイトが余分");
    CDamagedByte unknown{0, 7, 0.25, ByteFault::slip, 0, 1, {0x5A}};
    EXPECT_EQ(DescribeDamage(unknown),
              "ブロック 0、7 バイト目 (録音の 0:00.250): "
              "この前でバイトが欠落または余分 (数は不明) (ほかの読み: 5A)");
    CDamagedByte weighed{1, 0, 0, ByteFault::undecided, 0, 3, {0x01, 0x80, 0x81}};
    EXPECT_EQ(DescribeDamage(weighed),
              "ブロック 1、0 バイト目 (録音の 0:00.000): 判定できないビット "
              "(ほかの読み: 01 80 81)");
}

// Each block's quality follows how clearly its bits were decided: a clean
// recording reads with full confidence, noise lowers it, a block read at
// the wrong speed is far from sure, and the damaged bytes are counted.
TEST(Recording, BlockQualityFollowsTheMarginsOfItsBits) {
    const auto tape = TestTape();
    auto quality = [](const Samples& x, const CRecordingOptions& options = {}) {
        CRecordingDecoder decoder(44100, 1, options);
        decoder.Feed(x.data(), x.size());
        std::vector<CTapeBlock> blocks;
        std::vector<CBlockQuality> q;
        const auto damage = decoder.Finish(blocks, &q);
        EXPECT_EQ(q.size(), blocks.size());
        std::size_t nDamaged = 0;
        for (const CBlockQuality& b : q)
            nDamaged += b.nDamaged;
        EXPECT_EQ(nDamaged, damage.size());
        return q;
    };
    const Samples clean = Write(tape);
    for (const CBlockQuality& q : quality(clean)) {
        EXPECT_GT(q.dConfidence, 0.97);
        EXPECT_GT(q.dWeakest, 0.9);
        EXPECT_EQ(q.nDamaged, 0u);
    }
    Samples noisy = clean;
    AddNoise(noisy, 9, 2);
    const auto q9 = quality(noisy);
    ASSERT_EQ(q9.size(), tape.size());
    EXPECT_LT(q9[0].dWeakest, 0.8);
    EXPECT_LT(q9[0].dConfidence, 0.99);
    EXPECT_GT(q9[0].dConfidence, 0.7);
    CRecordingOptions slow;
    slow.nBaud = kBaudSlow;
    const auto wrong = quality(Write({tape[0]}), slow);
    ASSERT_FALSE(wrong.empty());
    EXPECT_LT(wrong[0].dConfidence, 0.5);
    EXPECT_GT(wrong[0].nDamaged, 0u);
}

// A start edge after a leader that turned out to be no start bit, at the
// very end of the recording, once made the decoder start the same record
// over and over (the input the fuzz target found: a WAV file after one
// byte that chooses the road).
TEST(Recording, FalseStartAtTheEndDoesNotHang) {
    std::ifstream in(RELMUTH_SOURCE_DIR "/fuzz/regressions/recording/restart-at-the-same-edge",
                     std::ios::binary);
    const ByteArray file((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(file.size(), 1u);
    std::vector<CTapeBlock> blocks;
    const auto damage = ReadRecording(std::span(file).subspan(1), {}, blocks);
    for (const CDamagedByte& d : damage)
        EXPECT_LT(d.nOffset, blocks.at(d.nBlock).m_data.size());
}

// A chunk of no frames may come with no buffer behind it (an empty file read
// into an empty vector); the decoder takes it as nothing.
TEST(Recording, EmptyChunkWithoutABufferIsNothing) {
    for (const int nChannels : {1, 2}) {
        CRecordingDecoder decoder(44100, nChannels, {});
        decoder.Feed(nullptr, 0);
        std::vector<CTapeBlock> blocks;
        EXPECT_TRUE(decoder.Finish(blocks).empty());
        EXPECT_TRUE(blocks.empty());
    }
}

class RecordingFile : public testing::Test {
  protected:
    void SetUp() override { dir = MakeScratchFolder("relmuth-rec"); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string P(const std::string& name) const { return (dir / name).string(); }

    std::filesystem::path dir;
};

// Every container and sample format the recordings come in, written by
// libsndfile itself in the test.
TEST_F(RecordingFile, EveryFormatLibsndfileWritesDecodes) {
    const CTapeBlock block{Bytes({0xD3, 0x3A, 0x9C, 0x00, 0xFF, 0x41}), kBaudFast};
    const Samples mono = Write({block}, 22050);
    struct Format {
        const char* name;
        int format;
        int channels;
        bool bCodecLibrary; // libsndfile needs a library of its own for it
    };
    const Format formats[] = {
        {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, false},
        {"s24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, false},
        {"float.WAV", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, false},
        {"ext.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 2, false},
        {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, true},
        {"a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, true},
        {"a.Aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, false},
        {"a.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 1, true},
    };
    // The Windows build's libsndfile has its built-in formats only.
#ifdef RELMUTH_SNDFILE_BUILT_IN_ONLY
    constexpr bool bCodecLibraries = false;
#else
    constexpr bool bCodecLibraries = true;
#endif
    for (const Format& f : formats) {
        if (f.bCodecLibrary && !bCodecLibraries)
            continue;
        SF_INFO info{};
        info.samplerate = 22050;
        info.channels = f.channels;
        info.format = f.format;
        SNDFILE* out = sf_open(P(f.name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(out, nullptr) << f.name << ": " << sf_strerror(nullptr);
        Samples frames;
        for (float v : mono)
            frames.insert(frames.end(), static_cast<std::size_t>(f.channels), v);
        sf_writef_float(out, frames.data(), static_cast<sf_count_t>(mono.size()));
        sf_close(out);

        EXPECT_TRUE(IsRecordingName(P(f.name))) << f.name;
        CRelmuthDoc doc(nullptr, TapeFormats());
        CRecordingReading reading;
        ASSERT_TRUE(doc.OnOpenDocument(P(f.name), reading)) << f.name;
        ExpectTape(doc.m_blocks, {block}, reading.m_damage);
    }
}

TEST_F(RecordingFile, WrittenWavDecodesAfterNoiseAndSpeedError) {
    const auto tape = TestTape();
    CRelmuthDoc doc(nullptr, TapeFormats());
    doc.ReplaceTape(tape);
    ASSERT_TRUE(doc.OnSaveDocument(P("tape.wav")));
    const auto reader = CSoundFileReader::OpenFile(P("tape.wav"));
    EXPECT_EQ(reader->GetSampleRate(), 44100);
    EXPECT_EQ(reader->GetChannels(), 1);
    Samples x(reader->GetFrames());
    ASSERT_EQ(reader->Read(x.data(), x.size()), x.size());
    x = ChangeSpeed(x, 1.05);
    AddNoise(x, 18);
    std::vector<CTapeBlock> blocks;
    const auto damage = Decode(x, 44100, blocks);
    ExpectTape(blocks, tape, damage);
}

TEST_F(RecordingFile, NotSoundFailsAsBadFormat) {
    class CHost : public CDocumentHost {
      public:
        bool PromptForTapeFileName(std::string&, res::StringId, unsigned, bool) override {
            return false;
        }
        void ReportSaveLoadException(const CRelmuthException& e) override { id = e.GetMessageId(); }
        res::StringId id{};
    } host;
    std::ofstream(P("letter.WAV")) << "Dear PC-8801, this is no sound at all.\n";
    CRelmuthDoc doc(&host, TapeFormats());
    EXPECT_FALSE(doc.OnOpenDocument(P("letter.WAV")));
    EXPECT_EQ(host.id, res::AFX_IDP_FAILED_INVALID_FORMAT);
    EXPECT_TRUE(doc.m_blocks.empty());
}

// Open and Save As list the recordings in their fourth entry: every
// pattern there is read by a recording row.
TEST(Recording, EveryRecordingPatternOfTheFileDialogsIsReadAsARecording) {
    for (const bool bOpen : {true, false}) {
        const std::vector<CFileFilter> list = GetTapeFileFilters(bOpen);
        ASSERT_EQ(list.size(), 4u);
        std::string rest = list[3].strPattern + ';';
        for (std::size_t semi; (semi = rest.find(';')) != std::string::npos;
             rest.erase(0, semi + 1)) {
            const std::string name = "x" + rest.substr(1, semi - 1);
            EXPECT_TRUE(IsRecordingName(name)) << name;
            EXPECT_FALSE(IsRecordingName(name + ".kxm")) << name;
        }
    }
}

TEST(Recording, ProgressRisesToOneAndCancelStops) {
    ByteArray file;
    {
        CMemoryArchive ar(file);
        WriteRecording(TestTape(), ar, 11025);
    }
    struct CProgress : CDecodeProgress {
        bool OnDecodeProgress(double f) override {
            EXPECT_GE(f, last);
            last = f;
            return f < stopAt;
        }
        double last = 0, stopAt = 2;
    } progress;
    std::vector<CTapeBlock> blocks;
    EXPECT_TRUE(ReadRecording(file, {}, blocks, &progress).empty());
    EXPECT_EQ(progress.last, 1.0);
    EXPECT_EQ(blocks, TestTape());

    CProgress cancel;
    cancel.stopAt = 0.5;
    std::vector<CTapeBlock> none;
    EXPECT_THROW(ReadRecording(file, {}, none, &cancel), CRecordingCancelled);
    EXPECT_TRUE(none.empty());
}

} // namespace
