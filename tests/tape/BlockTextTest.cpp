// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "TapeTestUtil.h"
#include "tape/BlockText.h"

namespace {

TEST(BlockText, SlowBlockOfThreeBytes) {
    EXPECT_EQ(GetBlockText(Block(Bytes({0x3A, 0x00, 0x00}), 600)),
              "CAS2\r\n0003\r\n3A0000\r\n3A\r\n");
}

TEST(BlockText, TwentyBytesMakeAFullAndAShortLine) {
    ByteArray data(20);
    for (int i = 0; i < 20; ++i)
        data[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(GetBlockText(Block(data, 1200)), "CAS1\r\n0014\r\n"
                                               "000102030405060708090A0B0C0D0E0F\r\n"
                                               "10111213\r\n"
                                               "BE\r\n");
}

TEST(BlockText, SixteenBytesHaveNoEmptyLineBeforeTheChecksum) {
    EXPECT_EQ(GetBlockText(Block(Repeat(0xFF, 16), 1200)),
              "CAS1\r\n0010\r\nFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\r\nF0\r\n");
}

TEST(BlockText, EmptyBlockHasThreeLines) {
    EXPECT_EQ(GetBlockText(Block({}, 1200)), "CAS1\r\n0000\r\n00\r\n");
}

TEST(BlockText, ChecksumKeepsTheLowEightBits) {
    EXPECT_EQ(GetBlockText(Block(Bytes({0x01, 0x02, 0xFF}), 1200)),
              "CAS1\r\n0003\r\n0102FF\r\n02\r\n");
}

TEST(BlockText, AnyBaudButSixHundredIsCas1) {
    EXPECT_TRUE(GetBlockText(Block({}, 0)).starts_with("CAS1\r\n"));
    EXPECT_TRUE(GetBlockText(Block({}, 2400)).starts_with("CAS1\r\n"));
}

TEST(BlockText, LargeBlockCountHasFiveDigitsAndEveryLineIsSixteenBytes) {
    const std::string text = GetBlockText(Block(Pattern(70000), 600));
    ASSERT_TRUE(text.starts_with("CAS2\r\n11170\r\n"));
    // 4375 full lines of 32 digits, then the checksum.
    const std::size_t nHead = std::string("CAS2\r\n11170\r\n").size();
    EXPECT_EQ(text.size(), nHead + 4375 * 34 + 4);
    for (std::size_t i = 0; i < 4375; ++i)
        ASSERT_EQ(text.substr(nHead + i * 34 + 32, 2), "\r\n") << "line " << i;
}

} // namespace
