// SPDX-License-Identifier: GPL-3.0-or-later
// Disassembly with libz80ex's disassembler: the loader's own routine (as
// the build assembles it) against text written by hand, the record forms
// of a cassette machine-code file, and a bad check byte.
#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "inspect/Z80Listing.h"
#include "loader/RoutineSymbols.h"

using namespace inspect;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The routine's bytes from one of its labels to another.
std::span<const std::uint8_t> Routine(std::uint16_t from, std::uint16_t to) {
    return std::span<const std::uint8_t>(routine::kImage)
        .subspan(from - routine::kOrigin, to - from);
}

// A machine-code file of one record per entry of `records`, loaded at
// `address`, each check byte making its record sum to 0.
Bytes Records(unsigned address, const std::vector<Bytes>& records) {
    auto check = [](const Bytes& bytes) {
        unsigned sum = 0;
        for (std::uint8_t b : bytes)
            sum += b;
        return static_cast<std::uint8_t>(-sum);
    };
    const Bytes head{static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    Bytes file{':', head[0], head[1], check(head)};
    for (const Bytes& data : records) {
        Bytes record{static_cast<std::uint8_t>(data.size())};
        record.insert(record.end(), data.begin(), data.end());
        file.push_back(':');
        file.insert(file.end(), record.begin(), record.end());
        file.push_back(check(record));
    }
    file.insert(file.end(), {':', 0x00, 0x00});
    return file;
}

const char* const kJumpTable = "B000  C3 10 B0     JP #B010\n"
                               "B003  C3 2C B2     JP #B22C\n"
                               "B006  C3 41 B2     JP #B241\n"
                               "B009  C3 9B B2     JP #B29B\n"
                               "B00C  C3 DD B2     JP #B2DD\n";

} // namespace

TEST(Z80Listing, TheLoaderRoutineDisassemblesAsWrittenByHand) {
    EXPECT_EQ(Disassemble(Routine(routine::kOrigin, routine::kOrigin + 15), routine::kOrigin),
              kJumpTable);
    EXPECT_EQ(Disassemble(Routine(routine::TAPEREAD, routine::TAPEREAD + 0x11), routine::TAPEREAD),
              "B010  FE 02        CP #02\n"
              "B012  C0           RET NZ\n"
              "B013  CD 78 B1     CALL #B178\n"
              "B016  22 73 B3     LD (#B373),HL\n"
              "B019  0E FB        LD C,#FB\n"
              "B01B  5E           LD E,(HL)\n"
              "B01C  23           INC HL\n"
              "B01D  7E           LD A,(HL)\n"
              "B01E  B7           OR A\n"
              "B01F  20 0A        JR NZ,#B02B\n");
    EXPECT_EQ(Disassemble(Routine(routine::DISPATCH, routine::DATABLK), routine::DISPATCH),
              "B064  21 00 00     LD HL,#0000\n"
              "B067  22 7E B3     LD (#B37E),HL\n"
              "B06A  FE D3        CP #D3\n"
              "B06C  28 23        JR Z,#B091\n"
              "B06E  FE 24        CP #24\n"
              "B070  28 42        JR Z,#B0B4\n"
              "B072  FE 3A        CP #3A\n"
              "B074  28 4A        JR Z,#B0C0\n"
              "B076  FE 9C        CP #9C\n"
              "B078  20 E1        JR NZ,#B05B\n");
    EXPECT_EQ(Disassemble(Routine(routine::LEAVE, routine::LEAVE + 7), routine::LEAVE),
              "B171  F3           DI\n"
              "B172  ED 7B 6F B3  LD SP,(#B36F)\n"
              "B176  FB           EI\n"
              "B177  C9           RET\n");
}

TEST(Z80Listing, PrefixedInstructionsTakeTheirOwnLengthAndACutInstructionIsData) {
    const Bytes code{0xDD, 0xCB, 0x02, 0x46, 0xFD, 0x36, 0x05, 0x7F,
                     0xED, 0xB0, 0xCB, 0x7F, 0xDD, 0xE5, 0xC3, 0x00};
    EXPECT_EQ(Disassemble(code, 0xC000), "C000  DD CB 02 46  BIT 0,(IX+#02)\n"
                                         "C004  FD 36 05 7F  LD (IY+#05),#7F\n"
                                         "C008  ED B0        LDIR\n"
                                         "C00A  CB 7F        BIT 7,A\n"
                                         "C00C  DD E5        PUSH IX\n"
                                         "C00E  C3           DB #C3\n"
                                         "C00F  00           DB #00\n");
}

TEST(Z80Listing, BothRecordFormsDisassembleAtTheLoadAddress) {
    const auto table = Routine(routine::kOrigin, routine::kOrigin + 15);
    const Bytes file = Records(
        0xB000, {Bytes(table.begin(), table.begin() + 6), Bytes(table.begin() + 6, table.end())});
    const SMachineListing plain = ListMachineCode(file);
    EXPECT_EQ(plain.text, kJumpTable);
    EXPECT_EQ(plain.loadAddress, 0xB000u);
    EXPECT_TRUE(plain.badChecks.empty());
    EXPECT_FALSE(plain.cutOff);

    Bytes named{'$', '$', '$', 'G', 'R', 'E', 'B', 'E', ' '};
    named.insert(named.end(), file.begin(), file.end());
    EXPECT_EQ(ListMachineCode(named).text, kJumpTable);
}

TEST(Z80Listing, ABadCheckByteIsReportedAtItsRecordAndTheBytesStillShow) {
    const auto table = Routine(routine::kOrigin, routine::kOrigin + 15);
    Bytes file = Records(
        0xB000, {Bytes(table.begin(), table.begin() + 6), Bytes(table.begin() + 6, table.end())});
    const std::size_t second = 4 + 1 + 1 + 6 + 1; // the ':' of the second record
    file[second + 2] ^= 0x01;                     // a data bit flipped
    const SMachineListing listing = ListMachineCode(file);
    EXPECT_EQ(listing.badChecks, std::vector<std::size_t>{second});
    EXPECT_EQ(listing.text, "B000  C3 10 B0     JP #B010\n"
                            "B003  C3 2C B2     JP #B22C\n"
                            "B006  C2 41 B2     JP NZ,#B241\n"
                            "B009  C3 9B B2     JP #B29B\n"
                            "B00C  C3 DD B2     JP #B2DD\n");

    // Records that stop before the end record: what came is shown.
    Bytes cut = Records(0xB000, {Bytes(table.begin(), table.begin() + 6)});
    cut.resize(cut.size() - 3);
    cut.insert(cut.end(), {':', 0x09, 0x01});
    const SMachineListing stopped = ListMachineCode(cut);
    EXPECT_TRUE(stopped.cutOff);
    EXPECT_EQ(stopped.stoppedAt, 4u + 9u);
    EXPECT_EQ(stopped.text, "B000  C3 10 B0     JP #B010\nB003  C3 2C B2     JP #B22C\n");
}
