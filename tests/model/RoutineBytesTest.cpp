// SPDX-License-Identifier: GPL-3.0-or-later
// The assembled routine itself: its fixed places and its texts,
// byte for byte (pasmo truncates out-of-range operands without a word, so the
// bytes are checked here rather than trusted).
#include <cstring>

#include "loader/LoaderText.h"
#include "model/ModelSupport.h"

namespace model_test {
namespace {

std::uint8_t At(std::uint16_t address) {
    return routine::kImage[address - routine::kOrigin];
}

std::uint16_t WordAt(std::uint16_t address) {
    return static_cast<std::uint16_t>(At(address) | (At(address + 1) << 8));
}

std::string TextAt(std::uint16_t address) {
    std::string text;
    while (At(address) != 0)
        text += static_cast<char>(At(address++));
    return text;
}

TEST(RoutineBytes, JumpTableAtB000PointsAtTheEntries) {
    const std::uint16_t entries[] = {routine::TAPEREAD, routine::PEEKBUF, routine::DUMPLINE,
                                     routine::SENDLINE, routine::BEEPS};
    for (int i = 0; i < 5; ++i) {
        const std::uint16_t slot = static_cast<std::uint16_t>(0xB000 + 3 * i);
        EXPECT_EQ(At(slot), 0xC3) << "JP at " << std::hex << slot;
        EXPECT_EQ(WordAt(slot + 1), entries[i]) << "USR" << i + 1;
    }
}

TEST(RoutineBytes, ResultCodeAtB00FIsZero) {
    EXPECT_EQ(routine::kOrigin, 0xB000);
    EXPECT_EQ(routine::RESCODE, 0xB00F);
    EXPECT_EQ(At(0xB00F), 0);
}

TEST(RoutineBytes, EveryEntryBeginsWithTheTypeTest) {
    for (std::uint16_t entry : {routine::TAPEREAD, routine::PEEKBUF, routine::DUMPLINE,
                                routine::SENDLINE, routine::BEEPS}) {
        EXPECT_EQ(At(entry), 0xFE) << std::hex << entry; // CP 2
        EXPECT_EQ(At(entry + 1), 0x02) << std::hex << entry;
        EXPECT_EQ(At(entry + 2), 0xC0) << std::hex << entry; // RET NZ
    }
}

TEST(RoutineBytes, CodeThenVariablesThenTextsBelowTheStack) {
    EXPECT_EQ(routine::CODE, 0xB010);
    EXPECT_LE(routine::CODEEND, routine::VARS);
    EXPECT_EQ(routine::TEXTS, routine::VARS + 20);
    EXPECT_EQ(routine::ROUTINEEND - routine::TEXTS, 153);
    EXPECT_EQ(sizeof routine::kImage, std::size_t{routine::ROUTINEEND - routine::kOrigin});
    EXPECT_LE(sizeof routine::kImage, 1280u) << "40 DATA lines of 32 bytes";
    EXPECT_LE(sizeof routine::kImage, 1253u) << "no slower to send than the reference";
    EXPECT_LT(routine::ROUTINEEND, routine::STACKTOP);
    EXPECT_EQ(routine::STACKTOP, 0xBFFF);
}

TEST(RoutineBytes, VariablesInPartOrderAllZero) {
    const std::uint16_t v = routine::VARS;
    EXPECT_EQ(routine::OLDSP, v);
    EXPECT_EQ(routine::OLDFLAGS, v + 2);
    EXPECT_EQ(routine::OLDSPEED, v + 3);
    EXPECT_EQ(routine::ARGPTR, v + 4);
    EXPECT_EQ(routine::MODE, v + 6);
    EXPECT_EQ(routine::OLDVEC, v + 7);
    EXPECT_EQ(routine::TICKS, v + 9);
    EXPECT_EQ(routine::LIMIT, v + 11);
    EXPECT_EQ(routine::HOOKHL, v + 13);
    EXPECT_EQ(routine::BUFPOS, v + 15);
    EXPECT_EQ(routine::DATALEN, v + 17);
    EXPECT_EQ(routine::BEEPCNT, v + 19);
    for (std::uint16_t a = v; a < routine::TEXTS; ++a)
        EXPECT_EQ(At(a), 0) << std::hex << a;
}

TEST(RoutineBytes, TextsByteForByte) {
    EXPECT_EQ(TextAt(routine::TXTBASIC), "Found(Basic Program)\r\n");
    EXPECT_EQ(TextAt(routine::TXTMCODE), "Found(Machine Code)\r\n");
    EXPECT_EQ(TextAt(routine::TXTDATA), "Found(Data)\r\n");
    EXPECT_EQ(TextAt(routine::TXTUNKNOWN), "Found(Unknown)\r\n");
    const std::string dump = TextAt(routine::DUMPTEXT);
    EXPECT_EQ(dump,
              "XXXXH : XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX : ................\r\n");
    EXPECT_EQ(dump.size(), 76u);
    EXPECT_EQ(routine::DUMPTEXT + 77, routine::ROUTINEEND);
}

TEST(RoutineBytes, ConstantsOfTheRoutine) {
    EXPECT_EQ(routine::SPEED1200, 0xFB);
    EXPECT_EQ(routine::SPEED600, 0xFA);
    EXPECT_EQ(routine::LIMIT60, 60);
    EXPECT_EQ(routine::LIMIT300, 300);
    EXPECT_EQ(routine::BEEPONE, 7);
    EXPECT_EQ(routine::CMTMOTOR, 0x7F35);
    EXPECT_EQ(routine::CMTSTART, 0x7ED0);
    EXPECT_EQ(routine::CMTSTOP, 0x7F15);
    EXPECT_EQ(routine::POLLIN, 0x45F8);
    EXPECT_EQ(routine::PUTCHR, 0x3E0D);
    EXPECT_EQ(routine::RSPUT, 0x3226);
    EXPECT_EQ(routine::VRTCVEC, 0xF302);
}

TEST(RoutineBytes, GrebeDataLinesHoldExactlyTheRoutine) {
    const Bytes decoded = DecodeGrebeData(GetLoaderResource());
    const Bytes image(std::begin(routine::kImage), std::end(routine::kImage));
    EXPECT_EQ(decoded, image);
}

} // namespace
} // namespace model_test
