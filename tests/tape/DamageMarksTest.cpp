// SPDX-License-Identifier: GPL-3.0-or-later
// Damage marks kept with a tape, and the record of our own that keeps them
// in a KXM image.
#include <gtest/gtest.h>

#include "TapeTestUtil.h"
#include "tape/BlockInfo.h"
#include "tape/DamageMarks.h"
#include "tape/KxmFormat.h"

namespace {

ByteArray Word(unsigned v) {
    return Bytes({int(v & 0xFF), int((v >> 8) & 0xFF)});
}
ByteArray DWord(std::uint32_t v) {
    return Concat({Word(v & 0xFFFF), Word(v >> 16)});
}
ByteArray Record(unsigned tag, const ByteArray& body) {
    return Concat({Word(tag), Word(static_cast<unsigned>(body.size())), body});
}

ByteArray WriteImage(const std::vector<CTapeBlock>& blocks, const CDamageMarks& marks) {
    ByteArray out;
    CMemoryArchive ar(out);
    WriteKxm(blocks, ar, marks);
    return out;
}

ByteArray WriteImage(const std::vector<CTapeBlock>& blocks) {
    ByteArray out;
    CMemoryArchive ar(out);
    WriteKxm(blocks, ar);
    return out;
}

CDamageMark Mark(std::size_t nBlock, std::size_t nOffset, std::size_t nCount,
                 DamageKind kind = DamageKind::framing, std::uint32_t nMillis = 1500) {
    return CDamageMark{nBlock, nOffset, nCount, kind, nMillis};
}

// A KXM reader written from the format's description alone, as any other
// program that reads KXM images would be: the magic, then records of a
// tag, a body length and a body; data records (0x0101) make blocks by the
// join rule, an end record (0x0000) ends the image, and every other tag is
// skipped by its body length. It stands for the readers we do not control.
std::vector<CTapeBlock> ReadAsAnyKxmReader(const ByteArray& image) {
    std::size_t at = 0;
    const auto take = [&](std::size_t n) {
        if (image.size() - at < n)
            throw std::runtime_error("the image ends early");
        at += n;
        return image.data() + at - n;
    };
    const auto word = [&] {
        const std::uint8_t* p = take(2);
        return static_cast<unsigned>(p[0] | p[1] << 8);
    };
    const auto dword = [&] { return word() | static_cast<std::uint32_t>(word()) << 16; };

    const std::uint8_t* magic = take(24);
    if (!std::equal(magic, magic + 24, kKxmMagic.begin()))
        throw std::runtime_error("no KXM magic");
    std::vector<CTapeBlock> blocks;
    bool bJoin = false;
    std::uint32_t nEnd = 0;
    for (;;) {
        const unsigned tag = word();
        const unsigned length = word();
        if (tag == 0x0000)
            return blocks;
        if (tag != 0x0101) {
            take(length);
            continue;
        }
        const std::uint32_t start = dword();
        const std::uint32_t duration = dword();
        const unsigned count = word();
        const unsigned flags = word();
        const std::uint8_t* bytes = take(count);
        take(length - 12 - count);
        const bool bNew = blocks.empty() || !(bJoin || start <= nEnd);
        if (bNew)
            blocks.push_back(Block({}, (flags & 0x0100) ? 1200 : 600));
        blocks.back().m_data.insert(blocks.back().m_data.end(), bytes, bytes + count);
        bJoin = false;
        if (bNew) {
            const int kind = IdentifyBlock(bytes, count);
            bJoin = kind == BLOCK_BASIC || kind == BLOCK_NAMED_MACHINE;
        }
        nEnd = start + duration;
    }
}

// A header and its body received apart, a bodiless BASIC header that joins
// the next block, and plain blocks: what the joins do to marks.
std::vector<CTapeBlock> Tape() {
    return {Block(NamedHeader(), 1200), Block(Concat({Bytes(":"), Pattern(40)}), 1200),
            Block(BasicHeader(), 600), Block(Pattern(300), 600), Block(Pattern(20, 3), 1200)};
}

TEST(DamageMarks, RecordFollowsTheDataOfTheBlockItMarks) {
    const std::vector<CTapeBlock> tape{Block(Bytes({0x3A, 0x00, 0x00}), 600)};
    const ByteArray plain = WriteImage(tape);
    // The 101-byte image: its data record ends at 0x49, before the trailing gaps.
    ASSERT_EQ(plain.size(), 101u);
    const ByteArray marks =
        Record(0x4D52, Concat({Word(1), DWord(3), DWord(1), DWord(2), DWord(61234), Bytes({3})}));
    const ByteArray expected = Concat({ByteArray(plain.begin(), plain.begin() + 0x49), marks,
                                       ByteArray(plain.begin() + 0x49, plain.end())});
    EXPECT_EQ(WriteImage(tape, {Mark(0, 1, 2, DamageKind::lost, 61234)}), expected);
    // The tag in the file is "RM".
    EXPECT_EQ(expected[0x49], 'R');
    EXPECT_EQ(expected[0x4A], 'M');
}

TEST(DamageMarks, TapeWithoutMarksThatFitIsWrittenAsBefore) {
    const auto tape = Tape();
    const ByteArray plain = WriteImage(tape);
    EXPECT_EQ(WriteImage(tape, {}), plain);
    // Marks of a block the tape does not have, or past a block's end, or
    // of no bytes: nothing points at bytes the file does not hold.
    EXPECT_EQ(WriteImage(tape, {Mark(5, 0, 1), Mark(0, 9, 1), Mark(0, 8, 2), Mark(4, 0, 0)}),
              plain);
}

TEST(DamageMarks, OtherReadersSkipTheRecordAndReadTheSameTape) {
    const auto tape = Tape();
    CDamageMarks marks{Mark(0, 3, 1), Mark(1, 0, 41), Mark(2, 15, 1), Mark(3, 299, 1),
                       Mark(4, 7, 5)};
    const ByteArray marked = WriteImage(tape, marks);
    ASSERT_NE(marked, WriteImage(tape));
    EXPECT_EQ(ReadAsAnyKxmReader(marked), ReadAsAnyKxmReader(WriteImage(tape)));
    // And ours reads the same blocks as that reader.
    std::vector<CTapeBlock> ours;
    ReadKxm(marked, ours);
    EXPECT_EQ(ours, ReadAsAnyKxmReader(marked));
}

TEST(DamageMarks, MarksSurviveAKxmRoundTripWithTheBlocksTheyMark) {
    const auto tape = Tape();
    const CDamageMarks marks{
        Mark(0, 3, 1, DamageKind::framing, 100),   Mark(1, 0, 1, DamageKind::undecided, 200),
        Mark(1, 10, 31, DamageKind::lost, 300),    Mark(2, 15, 1, DamageKind::framing, 400),
        Mark(3, 299, 1, DamageKind::framing, 500), Mark(4, 7, 5, DamageKind::undecided, 600)};
    std::vector<CTapeBlock> blocks;
    CDamageMarks read;
    ReadKxm(WriteImage(tape, marks), blocks, &read);
    ASSERT_EQ(blocks.size(), 3u); // the header joined with its body, the BASIC header with the next
    // The marks of a block read into an earlier one move by its bytes.
    const CDamageMarks expected{
        Mark(0, 3, 1, DamageKind::framing, 100),        Mark(0, 9, 1, DamageKind::undecided, 200),
        Mark(0, 19, 31, DamageKind::lost, 300),         Mark(1, 15, 1, DamageKind::framing, 400),
        Mark(1, 16 + 299, 1, DamageKind::framing, 500), Mark(2, 7, 5, DamageKind::undecided, 600)};
    EXPECT_EQ(read, expected);

    // Written again, read again: nothing changes.
    std::vector<CTapeBlock> again;
    CDamageMarks readAgain;
    ReadKxm(WriteImage(blocks, read), again, &readAgain);
    EXPECT_EQ(again, blocks);
    EXPECT_EQ(readAgain, read);
}

TEST(DamageMarks, ManyMarksOfOneBlockTakeSeveralRecords) {
    const std::vector<CTapeBlock> tape{Block(Pattern(30000), 600)};
    CDamageMarks marks;
    for (std::size_t i = 0; i < 12000; ++i)
        marks.push_back(Mark(0, 2 * i, 1, DamageKind::framing, static_cast<std::uint32_t>(i)));
    std::vector<CTapeBlock> blocks;
    CDamageMarks read;
    ReadKxm(WriteImage(tape, marks), blocks, &read);
    EXPECT_EQ(blocks, tape);
    EXPECT_EQ(read, marks);
}

TEST(DamageMarks, RecordsThisProgramCannotTakeAreSkippedNotRefused) {
    const std::vector<CTapeBlock> tape{Block(Bytes({0x3A, 0x00, 0x00}), 600)};
    const ByteArray plain = WriteImage(tape);
    const ByteArray good = Concat({Word(1), DWord(3), DWord(0), DWord(1), DWord(0), Bytes({1})});
    const ByteArray bodies[] = {
        Concat({Word(2), DWord(3), DWord(0), DWord(1), DWord(0), Bytes({1})}), // later layout
        Concat({Word(1), DWord(4), DWord(0), DWord(1), DWord(0), Bytes({1})}), // longer block
        Concat({Word(1), DWord(3), DWord(2), DWord(2), DWord(0), Bytes({1})}), // past its end
        Concat({Word(1), DWord(3), DWord(0), DWord(0), DWord(0), Bytes({1})}), // no bytes
        Concat({good, Bytes({0})}),                                            // a stray byte
        Word(1),                                                               // cut short
    };
    for (const ByteArray& body : bodies) {
        const ByteArray image =
            Concat({ByteArray(plain.begin(), plain.begin() + 0x49), Record(0x4D52, body),
                    ByteArray(plain.begin() + 0x49, plain.end())});
        std::vector<CTapeBlock> blocks;
        CDamageMarks read;
        ReadKxm(image, blocks, &read);
        EXPECT_EQ(blocks, tape);
        EXPECT_TRUE(read.empty()) << read.size();
    }
    // A marks record before any data marks nothing.
    const ByteArray early =
        Concat({ByteArray(plain.begin(), plain.begin() + 0x1E), Record(0x4D52, good),
                ByteArray(plain.begin() + 0x1E, plain.end())});
    std::vector<CTapeBlock> blocks;
    CDamageMarks read;
    ReadKxm(early, blocks, &read);
    EXPECT_EQ(blocks, tape);
    EXPECT_TRUE(read.empty());
}

TEST(DamageMarks, EditsTakeTheMarksWithTheirBlocks) {
    CDamageMarks marks{Mark(0, 1, 1), Mark(1, 2, 1), Mark(2, 3, 1), Mark(3, 4, 1)};
    RemoveBlockMarks(marks, 1);
    EXPECT_EQ(marks, (CDamageMarks{Mark(0, 1, 1), Mark(1, 3, 1), Mark(2, 4, 1)}));
    SwapBlockMarks(marks, 0, 1);
    EXPECT_EQ(marks, (CDamageMarks{Mark(1, 1, 1), Mark(0, 3, 1), Mark(2, 4, 1)}));
    EXPECT_EQ(MarksOfBlock(marks, 1), (CDamageMarks{Mark(1, 1, 1)}));
    EXPECT_EQ(MarkedByteCount(marks), 3u);
}

// A byte given another reading leaves its mark: a mark of it alone goes, a
// run loses its first or last byte, or is cut in two, the part after the
// byte starting where that byte lies in the recording (9.17 ms a byte at
// 1200 baud, 18.33 at 600, counted from the mark's own whole milliseconds).
TEST(DamageMarks, UnmarkedByteLeavesItsMarkOrCutsItsRunInTwo) {
    CDamageMarks marks{Mark(0, 4, 1, DamageKind::framing, 100),
                       Mark(1, 10, 6, DamageKind::lost, 2000),
                       Mark(1, 20, 1, DamageKind::undecided, 3000)};
    UnmarkByte(marks, 0, 4, kBaudFast);
    UnmarkByte(marks, 1, 10, kBaudFast); // the first of the run
    UnmarkByte(marks, 1, 15, kBaudFast); // the last
    UnmarkByte(marks, 1, 12, kBaudFast); // inside: 11 | 13 14
    UnmarkByte(marks, 1, 19, kBaudFast); // no mark there
    UnmarkByte(marks, 2, 0, kBaudFast);
    EXPECT_EQ(marks, (CDamageMarks{Mark(1, 11, 1, DamageKind::lost, 2009),
                                   Mark(1, 13, 2, DamageKind::lost, 2027),
                                   Mark(1, 20, 1, DamageKind::undecided, 3000)}));

    CDamageMarks slow{Mark(0, 0, 3, DamageKind::undecided, 0)};
    UnmarkByte(slow, 0, 1, kBaudSlow);
    EXPECT_EQ(slow, (CDamageMarks{Mark(0, 0, 1, DamageKind::undecided, 0),
                                  Mark(0, 2, 1, DamageKind::undecided, 37)}));
}

TEST(DamageMarks, ReportLinesForOneByteAndForARun) {
    EXPECT_EQ(DescribeDamageMark(Mark(2, 17, 1, DamageKind::framing, 75004)),
              "ブロック 2、17 バイト目 (録音の 1:15.004): ストップビットが不正");
    EXPECT_EQ(DescribeDamageMark(Mark(0, 100, 12, DamageKind::lost, 999)),
              "ブロック 0、100～111 バイト目 (録音の 0:00.999): 信号が途切れて読めない");
    EXPECT_EQ(DescribeDamageMark(Mark(1, 0, 1, DamageKind::unknown, 0)),
              "ブロック 1、0 バイト目 (録音の 0:00.000): 読み取りの不良");
}

} // namespace
