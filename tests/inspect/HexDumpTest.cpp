// SPDX-License-Identifier: GPL-3.0-or-later
// Dump lines as the loader's DUMPTEXT draws them: offset, sixteen fields,
// the text column lined up under a short last line, no trailing blanks.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "inspect/HexDump.h"

using inspect::HexDump;

namespace {

std::vector<std::uint8_t> Count(std::size_t n, std::uint8_t from = 0) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), from);
    return bytes;
}

} // namespace

TEST(HexDump, ShortAndFullLinesKeepTheTextColumnInPlace) {
    EXPECT_EQ(HexDump(std::vector<std::uint8_t>{0x41}),
              "0000H : 41                                              : A\n");
    EXPECT_EQ(HexDump(Count(15, 0x41)),
              "0000H : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F    : ABCDEFGHIJKLMNO\n");
    EXPECT_EQ(HexDump(Count(16, 0x41)),
              "0000H : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP\n");
    EXPECT_EQ(HexDump(Count(17, 0x41)),
              "0000H : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 : ABCDEFGHIJKLMNOP\n"
              "0010H : 51                                              : Q\n");
    EXPECT_EQ(HexDump({}), "");
}

TEST(HexDump, EveryByteValueShowsAsItselfAsKatakanaOrAsDot) {
    EXPECT_EQ(HexDump(Count(256)),
              "0000H : 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F : ................\n"
              "0010H : 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F : ................\n"
              "0020H : 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F :  !\"#$%&'()*+,-./\n"
              "0030H : 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F : 0123456789:;<=>?\n"
              "0040H : 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F : @ABCDEFGHIJKLMNO\n"
              "0050H : 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F : PQRSTUVWXYZ[\\]^_\n"
              "0060H : 60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F : `abcdefghijklmno\n"
              "0070H : 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F : pqrstuvwxyz{|}~.\n"
              "0080H : 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F : ................\n"
              "0090H : 90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F : ................\n"
              "00A0H : A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF : .｡｢｣､･ｦｧｨｩｪｫｬｭｮｯ\n"
              "00B0H : B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF : ｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿ\n"
              "00C0H : C0 C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF : ﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏ\n"
              "00D0H : D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF : ﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ\n"
              "00E0H : E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF : ................\n"
              "00F0H : F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF : ................\n");
}

TEST(HexDump, TrailingBlanksOfTheTextColumnAreDropped) {
    EXPECT_EQ(HexDump(std::vector<std::uint8_t>{0x41, 0x20, 0x20}),
              "0000H : 41 20 20                                        : A\n");
}
