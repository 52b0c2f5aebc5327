// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>

#include "TapeTestUtil.h"
#include "res/Strings.h"
#include "tape/Errors.h"
#include "tape/KxmFormat.h"
#include "tape/T88Format.h"

// The KXM reading and writing rules, for both images that have them: KXM and
// T88, which differ in their magic only.

namespace {

struct CImageFormat {
    const char* pszName;
    ByteArray magic;
    void (*write)(const std::vector<CTapeBlock>&, CByteSink&);
};

const CImageFormat kKxm{"KXM", Concat({Bytes("PC-8801 Tape Image(KXM)"), Bytes({0})}), WriteKxm};
const CImageFormat kT88{"T88", Concat({Bytes("PC-8801 Tape Image(T88)"), Bytes({0})}), WriteT88};

class TapeImage : public testing::TestWithParam<CImageFormat> {
  protected:
    static CTapeImageMagic MagicArray() {
        CTapeImageMagic magic{};
        std::copy(GetParam().magic.begin(), GetParam().magic.end(), magic.begin());
        return magic;
    }

    const ByteArray kMagic = GetParam().magic;

    static ByteArray Write(const std::vector<CTapeBlock>& blocks) {
        ByteArray out;
        CMemoryArchive ar(out);
        GetParam().write(blocks, ar);
        return out;
    }

    static std::vector<CTapeBlock> Read(const ByteArray& image) {
        std::vector<CTapeBlock> blocks;
        CMemoryArchive ar(image);
        ReadTapeImage(ar, MagicArray(), blocks);
        return blocks;
    }

    static CArchiveException::Cause ReadFailure(const ByteArray& image) {
        try {
            Read(image);
        } catch (const CArchiveException& e) {
            return e.GetCause();
        }
        ADD_FAILURE() << "the image was read without an error";
        return CArchiveException::generic;
    }
};

INSTANTIATE_TEST_SUITE_P(Formats, TapeImage, testing::Values(kKxm, kT88),
                         [](const testing::TestParamInfo<CImageFormat>& info) {
                             return std::string(info.param.pszName);
                         });

// Record builders, little-endian.
ByteArray Word(unsigned v) {
    return Bytes({int(v & 0xFF), int((v >> 8) & 0xFF)});
}
ByteArray DWord(std::uint32_t v) {
    return Concat({Word(v & 0xFFFF), Word(v >> 16)});
}
ByteArray Record(unsigned tag, const ByteArray& body) {
    return Concat({Word(tag), Word(static_cast<unsigned>(body.size())), body});
}
ByteArray Gap(unsigned tag, std::uint32_t start, std::uint32_t duration) {
    return Record(tag, Concat({DWord(start), DWord(duration)}));
}
ByteArray Data(std::uint32_t start, std::uint32_t duration, const ByteArray& bytes,
               unsigned flags = 0x00CC) {
    return Record(0x0101, Concat({DWord(start), DWord(duration),
                                  Word(static_cast<unsigned>(bytes.size())), Word(flags), bytes}));
}
const ByteArray kVersion = Record(0x0001, Word(0x0100));
const ByteArray kEnd = Bytes({0, 0, 0, 0});

TEST_P(TapeImage, WritesTheHundredAndOneByteImageOfOneSmallBlock) {
    const ByteArray expected = Concat({
        kMagic,
        kVersion,
        Gap(0x0102, 0, 7200),
        Gap(0x0103, 7200, 2400),
        Data(9600, 264, Bytes({0x3A, 0x00, 0x00}), 0x00CC),
        Gap(0x0103, 9864, 4800),
        Gap(0x0102, 14664, 9600),
        kEnd,
    });
    ASSERT_EQ(expected.size(), 101u);
    const std::vector<CTapeBlock> tape{Block(Bytes({0x3A, 0x00, 0x00}), 600)};
    EXPECT_EQ(Write(tape), expected);
    EXPECT_EQ(Read(expected), tape);
}

TEST_P(TapeImage, FastBlockHasShorterDurationAndFastFlags) {
    const ByteArray expected = Concat({
        kMagic,
        kVersion,
        Gap(0x0102, 0, 7200),
        Gap(0x0103, 7200, 2400),
        Data(9600, 132, Bytes({0x3A, 0x00, 0x00}), 0x01CC),
        Gap(0x0103, 9732, 4800),
        Gap(0x0102, 14532, 9600),
        kEnd,
    });
    const std::vector<CTapeBlock> tape{Block(Bytes({0x3A, 0x00, 0x00}), 1200)};
    EXPECT_EQ(Write(tape), expected);
    EXPECT_EQ(Read(expected), tape);
}

TEST_P(TapeImage, EmptyTapeIsThirtyFourBytes) {
    const ByteArray image = Write({});
    EXPECT_EQ(image, Concat({kMagic, kVersion, kEnd}));
    EXPECT_TRUE(Read(image).empty());
}

TEST_P(TapeImage, EmptyBlockGetsOneDataRecordOfCountZero) {
    const std::vector<CTapeBlock> tape{Block({}, 1200)};
    const ByteArray image = Write(tape);
    EXPECT_EQ(image, Concat({kMagic, kVersion, Gap(0x0102, 0, 7200), Gap(0x0103, 7200, 2400),
                             Data(9600, 0, {}, 0x01CC), Gap(0x0103, 9600, 4800),
                             Gap(0x0102, 14400, 9600), kEnd}));
    EXPECT_EQ(Read(image), tape);
}

TEST_P(TapeImage, LongBlockIsWrittenInChunksWithoutGapsAndReadAsOne) {
    const CTapeBlock block = Block(Pattern(70000), 1200);
    const ByteArray image = Write({block});
    const ByteArray expected = Concat({
        kMagic,
        kVersion,
        Gap(0x0102, 0, 7200),
        Gap(0x0103, 7200, 2400),
        Data(9600, 32768 * 44, ByteArray(block.m_data.begin(), block.m_data.begin() + 32768),
             0x01CC),
        Data(9600 + 32768 * 44, 32768 * 44,
             ByteArray(block.m_data.begin() + 32768, block.m_data.begin() + 65536), 0x01CC),
        Data(9600 + 65536 * 44, 4464 * 44,
             ByteArray(block.m_data.begin() + 65536, block.m_data.end()), 0x01CC),
        Gap(0x0103, 9600 + 70000 * 44, 4800),
        Gap(0x0102, 14400 + 70000 * 44, 9600),
        kEnd,
    });
    EXPECT_EQ(image, expected);
    EXPECT_EQ(Read(image), std::vector<CTapeBlock>{block});
}

TEST_P(TapeImage, BasicHeaderIsWrittenApartFromItsBodyAndReadBackJoined) {
    const CTapeBlock block = Block(Concat({BasicHeader(), Pattern(100)}), 600);
    const ByteArray image = Write({block});
    const ByteArray expected = Concat({
        kMagic,
        kVersion,
        Gap(0x0102, 0, 7200),
        Gap(0x0103, 7200, 2400),
        Data(9600, 16 * 88, BasicHeader()),
        Gap(0x0103, 9600 + 16 * 88, 480),
        Data(10080 + 16 * 88, 100 * 88, Pattern(100)),
        Gap(0x0103, 10080 + 116 * 88, 4800),
        Gap(0x0102, 14880 + 116 * 88, 9600),
        kEnd,
    });
    EXPECT_EQ(image, expected);
    EXPECT_EQ(Read(image), std::vector<CTapeBlock>{block});
}

TEST_P(TapeImage, NamedHeaderJoinsTheBlockThatFollowsIt) {
    // Received as two blocks, written as two, read back as one.
    const std::vector<CTapeBlock> tape{Block(NamedHeader(), 1200),
                                       Block(Concat({Bytes(":"), Pattern(40)}), 1200)};
    const std::vector<CTapeBlock> read = Read(Write(tape));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], Block(Concat({tape[0].m_data, tape[1].m_data}), 1200));
}

TEST_P(TapeImage, BodilessBasicHeaderJoinsOnlyTheFirstRecordOfTheNextBlock) {
    const CTapeBlock header = Block(BasicHeader(), 600);
    const CTapeBlock next = Block(Pattern(40000), 1200); // two records
    const CTapeBlock last = Block(Bytes({0x3A, 1, 2}), 600);
    const std::vector<CTapeBlock> read = Read(Write({header, next, last}));
    ASSERT_EQ(read.size(), 2u);
    // The header keeps its own speed; the next block's records all continue it
    // because they follow each other without a gap.
    EXPECT_EQ(read[0], Block(Concat({header.m_data, next.m_data}), 600));
    EXPECT_EQ(read[1], last);
}

TEST_P(TapeImage, ImagesJoinedEndToEndReadAsOneTape) {
    const std::vector<CTapeBlock> first{Block(Bytes({0x3A, 1}), 600), Block(Pattern(10), 1200)};
    const std::vector<CTapeBlock> second{Block(Pattern(5, 9), 600)};
    const ByteArray image = Concat({Write(first), Write(second)});
    std::vector<CTapeBlock> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(Read(image), expected);
}

TEST_P(TapeImage, BytesAfterTheEndRecordAreIgnored) {
    const std::vector<CTapeBlock> tape{Block(Pattern(7), 600)};
    EXPECT_EQ(Read(Concat({Write(tape), Bytes("garbage after the end")})), tape);
    EXPECT_EQ(Read(Concat({Write(tape), Bytes({1})})), tape);
    // A magic cut short is no second image either.
    EXPECT_EQ(Read(Concat({Write(tape), ByteArray(kMagic.begin(), kMagic.end() - 1)})), tape);
}

TEST_P(TapeImage, UnknownRecordsAndSurplusDataBytesAreSkipped) {
    // The data record's body holds two bytes more than its count.
    ByteArray data = Data(100, 88, Bytes({0x3A, 0x05}));
    data[2] += 2;
    data.insert(data.end(), {0xEE, 0xEE});
    const ByteArray image = Concat({kMagic, Record(0x7777, Bytes("abc")), data, kEnd});
    EXPECT_EQ(Read(image), std::vector<CTapeBlock>{Block(Bytes({0x3A, 0x05}), 600)});
}

TEST_P(TapeImage, RecordsJoinWhenTheyDoNotStartAfterTheLastEnd) {
    const ByteArray image = Concat({
        kMagic,
        Data(1000, 100, Bytes({1, 2}), 0x01CC),
        Data(1100, 100, Bytes({3}), 0x00CC), // starts where the last ended: same block
        Data(1150, 100, Bytes({4}), 0x00CC), // starts before it ended: same block
        Data(1251, 100, Bytes({5}), 0x00CC), // after a gap: a new block, slow
        kEnd,
    });
    EXPECT_EQ(Read(image),
              (std::vector<CTapeBlock>{Block(Bytes({1, 2, 3, 4}), 1200), Block(Bytes({5}), 600)}));
}

TEST_P(TapeImage, OnlyTheFastBitOfTheFlagsCounts) {
    const ByteArray image =
        Concat({kMagic, Data(0, 0, Bytes({1}), 0x0100), Data(10, 0, Bytes({2}), 0xFEFF), kEnd});
    EXPECT_EQ(Read(image),
              (std::vector<CTapeBlock>{Block(Bytes({1}), 1200), Block(Bytes({2}), 600)}));
}

TEST_P(TapeImage, BadImagesGiveTheirErrorKind) {
    const ByteArray good = Write({Block(Bytes({0x3A, 0, 0}), 600)});
    EXPECT_EQ(ReadFailure({}), CArchiveException::generic);
    EXPECT_EQ(ReadFailure(ByteArray(kMagic.begin(), kMagic.end() - 1)), CArchiveException::generic);
    ByteArray wrongMagic = good;
    wrongMagic[23] = ' ';
    EXPECT_EQ(ReadFailure(wrongMagic), CArchiveException::badFormat);
    EXPECT_EQ(ReadFailure(kMagic), CArchiveException::generic); // no end record

    // Any cut short of the end record is a generic error.
    for (std::size_t n = 24; n < good.size(); ++n)
        EXPECT_EQ(ReadFailure(ByteArray(good.begin(), good.begin() + n)),
                  CArchiveException::generic)
            << "cut at " << n;

    // A count beyond the body is a bad format, found before the bytes are.
    ByteArray overlong = Data(0, 0, Bytes({1, 2, 3}));
    overlong[2] = 12 + 2;
    EXPECT_EQ(ReadFailure(Concat({kMagic, overlong, kEnd})), CArchiveException::badFormat);
}

TEST_P(TapeImage, DataRecordShorterThanItsFixedFieldsWrapsTheRemainingLength) {
    // A body length below 12 leaves 65536 - (12 - length) bytes to skip,
    // which the file does not have.
    ByteArray data = Data(0, 0, {});
    data[2] = 4;
    EXPECT_EQ(ReadFailure(Concat({kMagic, data, kEnd})), CArchiveException::generic);
}

TEST_P(TapeImage, WriteThenReadKeepsEveryTapeButItsJoins) {
    // Blocks that start neither with a named header nor right after one come
    // back exactly as they went in.
    std::mt19937 random(8801);
    for (int round = 0; round < 50; ++round) {
        std::vector<CTapeBlock> tape;
        const int nBlocks = static_cast<int>(random() % 6);
        for (int i = 0; i < nBlocks; ++i) {
            ByteArray data(random() % 3 == 0 ? random() % 70000 : random() % 40);
            for (auto& b : data)
                b = static_cast<std::uint8_t>(random());
            if (!data.empty() && (data[0] == 0xD3 || data[0] == '$'))
                data[0] = 0;
            tape.push_back(Block(std::move(data), random() % 2 ? 600 : 1200));
        }
        ASSERT_EQ(Read(Write(tape)), tape) << "round " << round;
    }
}

} // namespace

namespace {

// The time line as text, one record a line, for whole comparisons.
class CRecordLog final : public CTapeRecordSink {
  public:
    void OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                std::span<const std::uint8_t> bytes) override {
        text += "data " + std::to_string(nStart) + "+" + std::to_string(nDuration) + " " +
                std::to_string(nBaud) + " x" + std::to_string(bytes.size()) + "\n";
    }
    void OnGap(TapeGap kind, std::uint32_t nStart, std::uint32_t nDuration) override {
        text += std::string(kind == TapeGap::outer ? "outer " : "inner ") + std::to_string(nStart) +
                "+" + std::to_string(nDuration) + "\n";
    }
    void OnNextImage() override { text += "next image\n"; }
    std::string text;
};

} // namespace

TEST_P(TapeImage, RecordsReadBackAsTheWriterLaidThemOut) {
    const std::vector<CTapeBlock> blocks{Block(Concat({BasicHeader(), Pattern(5)}), 1200),
                                         Block(Pattern(3), 600)};
    CRecordLog laidOut;
    LayOutBlocks(blocks, laidOut);
    EXPECT_EQ(laidOut.text, "outer 0+7200\ninner 7200+2400\n"
                            "data 9600+704 1200 x16\ninner 10304+480\n"
                            "data 10784+220 1200 x5\n"
                            "inner 11004+4800\nouter 15804+9600\n"
                            "outer 25404+7200\ninner 32604+2400\n"
                            "data 35004+264 600 x3\n"
                            "inner 35268+4800\nouter 40068+9600\n");

    const ByteArray image = Concat({Write(blocks), Write(blocks)});
    CMemoryArchive ar(image);
    CRecordLog read;
    ReadTapeImageRecords(ar, MagicArray(), read);
    EXPECT_EQ(read.text, laidOut.text + "next image\n" + laidOut.text);
}

TEST_P(TapeImage, TapeThatOutlastsTheTimeIsRefusedBeforeAByteIsWritten) {
    // 7200 + 2400 + 3 x 88 + 4800 + 9600 ticks.
    const std::vector<CTapeBlock> tape{Block(Bytes({0x3A, 0, 0}), 600)};
    ASSERT_EQ(LaidOutTicks(tape), 24264u);
    ByteArray image;
    CMemoryArchive ar(image);
    WriteTapeImage(tape, MagicArray(), ar, 24264);
    EXPECT_EQ(image, Write(tape));

    image.clear();
    try {
        WriteTapeImage(tape, MagicArray(), ar, 24263);
        ADD_FAILURE() << "written";
    } catch (const CRelmuthException& e) {
        EXPECT_EQ(e.GetMessageId(), res::AFX_IDP_FAILED_TO_SAVE_DOC);
        EXPECT_EQ(e.GetReason(), res::LoadString(res::IDS_TAPE_TOO_LONG));
    }
    EXPECT_TRUE(image.empty());
}

// A T88 image as the format's description draws it, byte for byte, with the
// records the writer never makes: a blank and a mark before the first block,
// and a blank between two blocks.
TEST(T88, ImageWrittenByHandFromTheFormatDescriptionReads) {
    const ByteArray image = Concat({
        Bytes("PC-8801 Tape Image(T88)"), Bytes({0x00}),
        Bytes({0x01, 0x00, 0x02, 0x00, 0x00, 0x01}),                         // version 1.0
        Bytes({0x00, 0x01, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00,               // blank at 0,
               0xC0, 0x12, 0x00, 0x00}),                                     //   4800 ticks
        Bytes({0x03, 0x01, 0x08, 0x00, 0xC0, 0x12, 0x00, 0x00,               // mark at 4800,
               0x60, 0x09, 0x00, 0x00}),                                     //   2400 ticks
        Bytes({0x01, 0x01, 0x0F, 0x00, 0x20, 0x1C, 0x00, 0x00,               // data at 7200,
               0x84, 0x00, 0x00, 0x00, 0x03, 0x00, 0xCC, 0x01,               //   132 ticks, 3
               0x3A, 0x12, 0x34}),                                           //   bytes, 1200
        Bytes({0x01, 0x01, 0x0E, 0x00, 0xA4, 0x1C, 0x00, 0x00,               // data at 7332,
               0x58, 0x00, 0x00, 0x00, 0x02, 0x00, 0xCC, 0x01, 0x56, 0x78}), //   right after
        Bytes({0x00, 0x01, 0x08, 0x00, 0xFC, 0x1C, 0x00, 0x00,               // blank at 7420,
               0x80, 0x25, 0x00, 0x00}),                                     //   9600 ticks
        Bytes({0x01, 0x01, 0x0D, 0x00, 0x7C, 0x42, 0x00, 0x00,               // data at 17020,
               0x58, 0x00, 0x00, 0x00, 0x01, 0x00, 0xCC, 0x00, 0x9A}),       //   600 baud
        Bytes({0x00, 0x00, 0x00, 0x00}),                                     // end
    });
    std::vector<CTapeBlock> blocks;
    ReadT88(image, blocks);
    EXPECT_EQ(blocks, (std::vector<CTapeBlock>{Block(Bytes({0x3A, 0x12, 0x34, 0x56, 0x78}), 1200),
                                               Block(Bytes({0x9A}), 600)}));
}

TEST(T88, EachImageWantsItsOwnMagic) {
    const std::vector<CTapeBlock> tape{Block(Bytes({1, 2}), 600)};
    ByteArray kxm, t88;
    CMemoryArchive kxmSink(kxm), t88Sink(t88);
    WriteKxm(tape, kxmSink);
    WriteT88(tape, t88Sink);
    // The same records under the other magic.
    EXPECT_TRUE(std::equal(kxm.begin() + 24, kxm.end(), t88.begin() + 24, t88.end()));
    std::vector<CTapeBlock> blocks;
    EXPECT_THROW(ReadT88(kxm, blocks), CArchiveException);
    EXPECT_THROW(ReadKxm(t88, blocks), CArchiveException);
    // A KXM image after a T88 end record is not a further T88 image.
    ReadT88(Concat({t88, kxm}), blocks);
    EXPECT_EQ(blocks, tape);
}
