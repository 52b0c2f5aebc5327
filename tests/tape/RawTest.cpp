// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>

#include "TapeTestUtil.h"
#include "tape/RawFormat.h"

namespace {

// The image cut into blocks, each given as its bytes.
std::vector<ByteArray> Cut(const ByteArray& image) {
    std::vector<CTapeBlock> blocks;
    ReadRaw(image, blocks);
    std::vector<ByteArray> pieces;
    for (const CTapeBlock& b : blocks) {
        EXPECT_EQ(b.m_nBaud, 600);
        pieces.push_back(b.m_data);
    }
    return pieces;
}

ByteArray Write(const std::vector<CTapeBlock>& blocks) {
    ByteArray out;
    CMemoryArchive ar(out);
    WriteRaw(blocks, ar);
    return out;
}

using Pieces = std::vector<ByteArray>;

TEST(Raw, WritesBlocksBackToBack) {
    const ByteArray a = Bytes({1, 2}), b = {}, c = Bytes({3});
    EXPECT_EQ(Write({Block(a), Block(b, 1200), Block(c)}), Bytes({1, 2, 3}));
    EXPECT_TRUE(Write({}).empty());
}

TEST(Raw, FileWithoutHeadersIsOneBlock) {
    EXPECT_EQ(Cut(Bytes({1, 2, 3, 4, 5})), Pieces{Bytes({1, 2, 3, 4, 5})});
    EXPECT_TRUE(Cut({}).empty());
}

TEST(Raw, BasicBodyEndsAfterTwelveZerosAndMachineCodeFollows) {
    const ByteArray basic = Concat({BasicHeader(), Bytes({0x10, 0x20, 0x00, 0x30}), Repeat(0, 12)});
    const ByteArray machine =
        Bytes({':', 0x12, 0x34, 0x56, ':', 0x02, 0xAA, 0xBB, 0x99, ':', 0x00, 0x00});
    EXPECT_EQ(Cut(Concat({basic, machine})), (Pieces{basic, machine}));
}

TEST(Raw, TenOrElevenZerosFollowedByAByteEndTheBody) {
    const ByteArray ten = Concat({BasicHeader(), Bytes({0x41}), Repeat(0, 10)});
    const ByteArray eleven = Concat({BasicHeader(), Bytes({0x41}), Repeat(0, 11)});
    EXPECT_EQ(Cut(Concat({ten, Bytes({0x07, 0x08})})), (Pieces{ten, Bytes({0x07, 0x08})}));
    EXPECT_EQ(Cut(Concat({eleven, Bytes({0x07})})), (Pieces{eleven, Bytes({0x07})}));
}

TEST(Raw, NineZerosDoNotEndTheBody) {
    const ByteArray image =
        Concat({BasicHeader(), Bytes({0x41}), Repeat(0, 9), Bytes({0x07, 0x08})});
    EXPECT_EQ(Cut(image), Pieces{image});
}

TEST(Raw, FifteenZerosGiveThirteenToTheBodyAndTwoToTheNextBlock) {
    const ByteArray body = Concat({BasicHeader(), Bytes({0x41}), Repeat(0, 13)});
    EXPECT_EQ(Cut(Concat({body, Repeat(0, 2), Bytes({0x01})})), (Pieces{body, Bytes({0, 0, 1})}));
}

TEST(Raw, BasicHeaderAtTheVeryEndIsABlockOfItsOwn) {
    EXPECT_EQ(Cut(Concat({Bytes({9}), BasicHeader()})), (Pieces{Bytes({9}), BasicHeader()}));
}

TEST(Raw, BasicBodyWithoutEndRunsToTheEndOfTheFile) {
    const ByteArray image = Concat({BasicHeader(), Bytes({':', 1, 2, 3, 4, 0, 0, 0})});
    EXPECT_EQ(Cut(image), Pieces{image});
}

TEST(Raw, NamedHeaderTakesTheMachineCodeThatFollows) {
    const ByteArray file = Bytes({':', 0x12, 0x34, 0x56, ':', 0x01, 0xAA, 0x99, ':', 0x00, 0x00});
    const ByteArray named = Concat({NamedHeader(), file});
    EXPECT_EQ(Cut(Concat({named, Bytes({0x55})})), (Pieces{named, Bytes({0x55})}));
}

TEST(Raw, NamedHeaderFollowedByAnotherByteIsNineBytes) {
    EXPECT_EQ(Cut(Concat({NamedHeader(), Bytes({0x55, 0x66})})),
              (Pieces{NamedHeader(), Bytes({0x55, 0x66})}));
    EXPECT_EQ(Cut(NamedHeader()), Pieces{NamedHeader()});
}

TEST(Raw, ColonTooShortAfterNamedHeaderStartsTheNextBlock) {
    // ':' with only two bytes after it cannot be a file: the header ends
    // before it and the ':' begins the rest.
    EXPECT_EQ(Cut(Concat({NamedHeader(), Bytes({':', 1, 2})})),
              (Pieces{NamedHeader(), Bytes({':', 1, 2})}));
}

TEST(Raw, GapBytesBetweenHeadersBecomeABlock) {
    const ByteArray basic = Concat({BasicHeader(), Bytes({0x41}), Repeat(0, 12)});
    const ByteArray data = Concat({Repeat(0x9C, 6), Bytes("DATA  "), Bytes({0x01, 0x02})});
    const ByteArray named = NamedHeader();
    EXPECT_EQ(Cut(Concat({Bytes({7, 7}), basic, data, named})),
              (Pieces{Bytes({7, 7}), basic, data, named}));
}

TEST(Raw, ColonOrLowerNInGapBytesCutsThem) {
    EXPECT_EQ(Cut(Bytes({1, 2, 'n', 3, 4, 5})), (Pieces{Bytes({1, 2}), Bytes({'n', 3, 4, 5})}));
    EXPECT_EQ(Cut(Bytes({1, ':', 3, 4, 5, 6})),
              (Pieces{Bytes({1}), Bytes({':', 3, 4, 5}), Bytes({6})}));
    // Fewer than four bytes from the ':' on: no file.
    EXPECT_EQ(Cut(Bytes({1, ':', 3, 4})), Pieces{Bytes({1, ':', 3, 4})});
}

TEST(Raw, MachineRecordsEndAtTheZeroLengthOrWhereTheFileCutsThem) {
    // A record whose length runs past the end stops after ':' and the length.
    const ByteArray cut = Bytes({':', 1, 2, 3, ':', 0x10, 0xAA});
    EXPECT_EQ(Cut(cut), (Pieces{Bytes({':', 1, 2, 3, ':', 0x10}), Bytes({0xAA})}));
    // The zero-length record ends the file after its checksum byte.
    const ByteArray done = Bytes({':', 1, 2, 3, ':', 0x00, 0xFF});
    EXPECT_EQ(Cut(Concat({done, Bytes({0x42})})), (Pieces{done, Bytes({0x42})}));
}

TEST(Raw, ReadingPartitionsAnyBytesAndWritesThemBack) {
    std::mt19937 random(88);
    // Bytes drawn mostly from the ones the scanner looks at.
    const std::uint8_t alphabet[] = {0xD3, 0xD3, 0xD3, '$', ':', 'n', 0x00, 0x00, 0x9C, 0x01, 0xFF};
    for (int round = 0; round < 300; ++round) {
        ByteArray image(random() % 300);
        for (auto& b : image)
            b = random() % 4 == 0 ? static_cast<std::uint8_t>(random())
                                  : alphabet[random() % std::size(alphabet)];
        if (round % 3 == 0 && image.size() > 40) // plant a real header now and then
            std::fill_n(image.begin() + 5, 10, 0xD3);
        std::vector<CTapeBlock> blocks;
        ReadRaw(image, blocks);
        for (const CTapeBlock& b : blocks) {
            ASSERT_FALSE(b.m_data.empty());
            ASSERT_EQ(b.m_nBaud, 600);
        }
        ASSERT_EQ(Write(blocks), image) << "round " << round;
    }
}

} // namespace
