// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "TapeTestUtil.h"
#include "tape/BlockInfo.h"

namespace {

struct InfoRow {
    const char* name;
    CTapeBlock block;
    const char* baud;
    const char* bytes;
    const char* type;
    const char* fileName;
};

void PrintTo(const InfoRow& row, std::ostream* os) {
    *os << row.name;
}

class BlockInfoRows : public testing::TestWithParam<InfoRow> {};

TEST_P(BlockInfoRows, GivesTheFourTextsOfTheRow) {
    const InfoRow& row = GetParam();
    std::string baud = "x", bytes = "x", type = "x", name = "stale";
    GetBlockInfo(row.block, baud, bytes, type, name);
    EXPECT_EQ(baud, row.baud);
    EXPECT_EQ(bytes, row.bytes);
    EXPECT_EQ(type, row.type);
    EXPECT_EQ(name, row.fileName);
}

INSTANTIATE_TEST_SUITE_P(
    BlockInfo, BlockInfoRows,
    testing::Values(
        InfoRow{"BasicNameEndsAtZero",
                Block(Concat({Repeat(0xD3, 10), Bytes("ABC"), Bytes({0, 0, 0})})), "600", "16",
                "Basic", "ABC"},
        InfoRow{
            "ControlByteBecomesDot",
            Block(Concat({Repeat(0xD3, 10), Bytes("GAME"), Bytes({1}), Bytes("X"), Bytes({0x55})}),
                  1200),
            "1200", "17", "Basic", "GAME.X"},
        InfoRow{"SpacesStay", Block(Concat({Repeat(0xD3, 10), Bytes("      ")})), "600", "16",
                "Basic", "      "},
        InfoRow{"ShortBasicHeaderIsUnknown", Block(Concat({Repeat(0xD3, 10), Bytes("ABCDE")})),
                "600", "15", "Unknown", ""},
        InfoRow{"NamedMachineCode", Block(Concat({NamedHeader("MONTOR"), Bytes(":")})), "600", "10",
                "Machine Code", "MONTOR"},
        InfoRow{"KatakanaNameInUtf8",
                Block(Concat({Bytes("$$$"), Bytes({0xB1, 0xB2, 0xB3, 0x00, 0x41, 0x42})})), "600",
                "9", "Machine Code", "\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3"},
        InfoRow{"KatakanaRangeEndsAndOddBytes",
                Block(Concat({Bytes("$$$"), Bytes({0xA0, 0xA1, 0xDF, 0xE0, 0x7F, 0x9F})})), "600",
                "9", "Machine Code", " \xEF\xBD\xA1\xEF\xBE\x9F..."},
        InfoRow{"ShortNamedHeaderIsUnknown", Block(Bytes("$$$ABCDE")), "600", "8", "Unknown", ""},
        InfoRow{"MachineCode", Block(Bytes({0x3A}), 1200), "1200", "1", "Machine Code", ""},
        InfoRow{"DataHasNoName", Block(Concat({Repeat(0x9C, 6), Bytes("NAME")})), "600", "10",
                "Data", ""},
        InfoRow{"FiveDataBytesAreUnknown", Block(Repeat(0x9C, 5)), "600", "5", "Unknown", ""},
        InfoRow{"EmptyBlock", Block({}), "600", "0", "Unknown", ""},
        InfoRow{"BasicWinsOverEverythingElse", Block(Concat({Repeat(0xD3, 10), Bytes("$$$:::")})),
                "600", "16", "Basic", "$$$:::"}),
    [](const testing::TestParamInfo<InfoRow>& info) { return std::string(info.param.name); });

TEST(BlockInfo, IdentifyReadsNoByteBeyondTheLengthItTests) {
    // Only the first byte is there: a ':' is machine code, a 0xD3 nothing.
    const std::uint8_t colon = ':';
    const std::uint8_t d3 = 0xD3;
    EXPECT_EQ(IdentifyBlock(&colon, 1), BLOCK_MACHINE);
    EXPECT_EQ(IdentifyBlock(&d3, 1), BLOCK_UNKNOWN);
    EXPECT_EQ(IdentifyBlock(nullptr, 0), BLOCK_UNKNOWN);
}

} // namespace
