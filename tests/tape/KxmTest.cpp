// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>

#include "TapeTestUtil.h"
#include "res/Strings.h"
#include "tape/Errors.h"
#include "tape/KxmFormat.h"

namespace {

const ByteArray kMagic = Concat({Bytes("PC-8801 Tape Image(KXM)"), Bytes({0})});

ByteArray Write(const std::vector<CTapeBlock>& blocks) {
    ByteArray out;
    CMemoryArchive ar(out);
    WriteKxm(blocks, ar);
    return out;
}

std::vector<CTapeBlock> Read(const ByteArray& image) {
    std::vector<CTapeBlock> blocks;
    ReadKxm(image, blocks);
    return blocks;
}

CArchiveException::Cause ReadFailure(const ByteArray& image) {
    try {
        Read(image);
    } catch (const CArchiveException& e) {
        return e.GetCause();
    }
    ADD_FAILURE() << "the image was read without an error";
    return CArchiveException::generic;
}

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

TEST(Kxm, WritesTheHundredAndOneByteImageOfOneSmallBlock) {
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

TEST(Kxm, FastBlockHasShorterDurationAndFastFlags) {
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

TEST(Kxm, EmptyTapeIsThirtyFourBytes) {
    const ByteArray image = Write({});
    EXPECT_EQ(image, Concat({kMagic, kVersion, kEnd}));
    EXPECT_TRUE(Read(image).empty());
}

TEST(Kxm, EmptyBlockGetsOneDataRecordOfCountZero) {
    const std::vector<CTapeBlock> tape{Block({}, 1200)};
    const ByteArray image = Write(tape);
    EXPECT_EQ(image, Concat({kMagic, kVersion, Gap(0x0102, 0, 7200), Gap(0x0103, 7200, 2400),
                             Data(9600, 0, {}, 0x01CC), Gap(0x0103, 9600, 4800),
                             Gap(0x0102, 14400, 9600), kEnd}));
    EXPECT_EQ(Read(image), tape);
}

TEST(Kxm, LongBlockIsWrittenInChunksWithoutGapsAndReadAsOne) {
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

TEST(Kxm, BasicHeaderIsWrittenApartFromItsBodyAndReadBackJoined) {
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

TEST(Kxm, NamedHeaderJoinsTheBlockThatFollowsIt) {
    // Received as two blocks, written as two, read back as one.
    const std::vector<CTapeBlock> tape{Block(NamedHeader(), 1200),
                                       Block(Concat({Bytes(":"), Pattern(40)}), 1200)};
    const std::vector<CTapeBlock> read = Read(Write(tape));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], Block(Concat({tape[0].m_data, tape[1].m_data}), 1200));
}

TEST(Kxm, BodilessBasicHeaderJoinsOnlyTheFirstRecordOfTheNextBlock) {
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

TEST(Kxm, ImagesJoinedEndToEndReadAsOneTape) {
    const std::vector<CTapeBlock> first{Block(Bytes({0x3A, 1}), 600), Block(Pattern(10), 1200)};
    const std::vector<CTapeBlock> second{Block(Pattern(5, 9), 600)};
    const ByteArray image = Concat({Write(first), Write(second)});
    std::vector<CTapeBlock> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(Read(image), expected);
}

TEST(Kxm, BytesAfterTheEndRecordAreIgnored) {
    const std::vector<CTapeBlock> tape{Block(Pattern(7), 600)};
    EXPECT_EQ(Read(Concat({Write(tape), Bytes("garbage after the end")})), tape);
    EXPECT_EQ(Read(Concat({Write(tape), Bytes({1})})), tape);
    // A magic cut short is no second image either.
    EXPECT_EQ(Read(Concat({Write(tape), ByteArray(kMagic.begin(), kMagic.end() - 1)})), tape);
}

TEST(Kxm, UnknownRecordsAndSurplusDataBytesAreSkipped) {
    // The data record's body holds two bytes more than its count.
    ByteArray data = Data(100, 88, Bytes({0x3A, 0x05}));
    data[2] += 2;
    data.insert(data.end(), {0xEE, 0xEE});
    const ByteArray image = Concat({kMagic, Record(0x7777, Bytes("abc")), data, kEnd});
    EXPECT_EQ(Read(image), std::vector<CTapeBlock>{Block(Bytes({0x3A, 0x05}), 600)});
}

TEST(Kxm, RecordsJoinWhenTheyDoNotStartAfterTheLastEnd) {
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

TEST(Kxm, OnlyTheFastBitOfTheFlagsCounts) {
    const ByteArray image =
        Concat({kMagic, Data(0, 0, Bytes({1}), 0x0100), Data(10, 0, Bytes({2}), 0xFEFF), kEnd});
    EXPECT_EQ(Read(image),
              (std::vector<CTapeBlock>{Block(Bytes({1}), 1200), Block(Bytes({2}), 600)}));
}

TEST(Kxm, BadImagesGiveTheirErrorKind) {
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

TEST(Kxm, DataRecordShorterThanItsFixedFieldsWrapsTheRemainingLength) {
    // A body length below 12 leaves 65536 - (12 - length) bytes to skip,
    // which the file does not have.
    ByteArray data = Data(0, 0, {});
    data[2] = 4;
    EXPECT_EQ(ReadFailure(Concat({kMagic, data, kEnd})), CArchiveException::generic);
}

TEST(Kxm, WriteThenReadKeepsEveryTapeButItsJoins) {
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

TEST(Kxm, RecordsReadBackAsTheWriterLaidThemOut) {
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

    const ByteArray image = Write(blocks);
    CRecordLog read;
    ReadKxmRecords(Concat({image, image}), read);
    EXPECT_EQ(read.text, laidOut.text + "next image\n" + laidOut.text);
}

TEST(Kxm, TapeThatOutlastsTheTimeIsRefusedBeforeAByteIsWritten) {
    // 7200 + 2400 + 3 x 88 + 4800 + 9600 ticks.
    const std::vector<CTapeBlock> tape{Block(Bytes({0x3A, 0, 0}), 600)};
    ASSERT_EQ(LaidOutTicks(tape), 24264u);
    ByteArray image;
    CMemoryArchive ar(image);
    WriteTapeImage(tape, kKxmMagic, ar, 24264);
    EXPECT_EQ(image, Write(tape));

    image.clear();
    try {
        WriteTapeImage(tape, kKxmMagic, ar, 24263);
        ADD_FAILURE() << "written";
    } catch (const CRelmuthException& e) {
        EXPECT_EQ(e.GetMessageId(), res::AFX_IDP_FAILED_TO_SAVE_DOC);
        EXPECT_EQ(e.GetReason(), res::LoadString(res::IDS_TAPE_TOO_LONG));
    }
    EXPECT_TRUE(image.empty());
}
