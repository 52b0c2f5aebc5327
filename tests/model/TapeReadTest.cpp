// SPDX-License-Identifier: GPL-3.0-or-later
// TAPEREAD (USR1): block recognition, raw capture, time limits, result codes.
#include "model/ModelSupport.h"

namespace model_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

Bytes BasicHeader() {
    return Cat({Rep(0xD3, 10), Str("GREBE1")});
}
Bytes BasicBody() {
    return Cat({Bytes{0x0A, 0x80, 0x0A, 0x00, 0x91, 0x20, 0x22, 0x00, 0x00, 0x41}, Rep(0, 10)});
}
Bytes MachineCode() {
    // ":", address &HC000, check byte; two records; the record of length 0.
    return Cat({Bytes{':', 0xC0, 0x00, 0x40}, Bytes{':', 0x03, 0x3E, 0x01, 0xC9, 0x00},
                Bytes{':', 0x02, 0x00, 0xFF, 0x01}, Bytes{':', 0x00, 0x00}});
}
Bytes DataBlock() {
    return Cat({Rep(0x9C, 6), Str("HELLO,1,2"), Bytes{0x0D, 0x0A}});
}

class TapeRead : public ModelTest {
  protected:
    // The ROM calls of a read: motor on, input on, ..., input off, motor off.
    void ExpectCassetteCalls(std::uint8_t speed) {
        const auto& calls = model.RomCalls();
        ASSERT_EQ(calls.size(), 4u);
        EXPECT_EQ(calls[0].address, pc88::kRomCmtMotor);
        EXPECT_EQ(calls[0].a, 1);
        EXPECT_EQ(calls[1].address, pc88::kRomCmtStart);
        EXPECT_EQ(calls[1].speedCell, speed);
        EXPECT_EQ(calls[1].cmtFlagCell & 0x20, 0x20) << "bit 5 of &HEF7F during the read";
        EXPECT_EQ(calls[2].address, pc88::kRomCmtStop);
        EXPECT_EQ(calls[3].address, pc88::kRomCmtMotor);
        EXPECT_EQ(calls[3].a, 0);
    }
    // Ticks from the last byte the routine took to the end of the read.
    double TicksAfterLastByte() const {
        return static_cast<double>(model.RomCalls().at(2).time - model.LastTapeByteTime()) / kTickT;
    }
    void ExpectRead(const pc88::CallResult& r, const Bytes& block, std::uint8_t code) {
        EXPECT_CLEAN(r);
        EXPECT_EQ(ResultCode(), code);
        EXPECT_EQ(r.value, block.size());
        EXPECT_EQ(model.RamWord(routine::DATALEN), block.size());
        EXPECT_EQ(Buffer(block.size()), block);
    }
};

// ---- each kind of block -------------------------------------------------------

TEST_F(TapeRead, BasicProgramStoredFromOffsetZero) {
    const Bytes block = Cat({BasicHeader(), BasicBody()});
    model.TapeGap(0.5);
    model.TapeBytes(Bytes{0x00, 0x55, 0xFF, 0x12}); // noise before the header is not stored
    model.TapeBytes(BasicHeader());
    model.TapeGap(1.5); // the gap between header and program on a real tape
    model.TapeBytes(BasicBody());
    model.TapeBytes(Bytes{0x77, 0x66}); // after the block: not read
    const std::size_t beeps = model.BeeperTicks().size();
    const auto r = Read(1);
    ExpectRead(r, block, 0);
    EXPECT_EQ(model.Screen(), "Found(Basic Program)\r\n");
    EXPECT_THAT(BeepRuns(model.BeeperTicks(), beeps), ElementsAre(3));
    EXPECT_EQ(model.Ram(routine::MODE), 1);
    ExpectCassetteCalls(0xFB);
}

TEST_F(TapeRead, NamedMachineCodeKeepsItsHeader) {
    const Bytes block = Cat({Str("$$$"), Str("MCODE1"), MachineCode()});
    model.TapeGap(0.5);
    model.TapeBytes(Cat({Str("$$$"), Str("MCODE1")}));
    model.TapeGap(2.0);
    model.TapeBytes(MachineCode());
    const std::size_t beeps = model.BeeperTicks().size();
    const auto r = Read(1);
    ExpectRead(r, block, 0);
    EXPECT_EQ(model.Screen(), "Found(Machine Code)\r\n");
    EXPECT_THAT(BeepRuns(model.BeeperTicks(), beeps), ElementsAre(3));
}

TEST_F(TapeRead, MachineCodeWithoutName) {
    model.TapeGap(0.5);
    model.TapeBytes(Bytes{0xFF, 0xFF});
    model.TapeBytes(MachineCode());
    const auto r = Read(1);
    ExpectRead(r, MachineCode(), 0);
    EXPECT_EQ(model.Screen(), "Found(Machine Code)\r\n");
}

TEST_F(TapeRead, MachineCodeRecordOf255Bytes) {
    Bytes record{':', 0xFF};
    for (int i = 0; i < 255; ++i)
        record.push_back(static_cast<std::uint8_t>(i * 7));
    record.push_back(0x5A);
    const Bytes block = Cat({Bytes{':', 0x90, 0x00, 0x70}, record, Bytes{':', 0x00, 0x00}});
    model.TapeGap(0.5);
    model.TapeBytes(block);
    ExpectRead(Read(1), block, 0);
}

TEST_F(TapeRead, DataBlockEndsAtLineFeed) {
    model.TapeGap(0.5);
    model.TapeBytes(DataBlock());
    model.TapeBytes(Str("MORE"));
    const std::size_t beeps = model.BeeperTicks().size();
    const auto r = Read(1);
    ExpectRead(r, DataBlock(), 0);
    EXPECT_EQ(model.Screen(), "Found(Data)\r\n");
    EXPECT_THAT(BeepRuns(model.BeeperTicks(), beeps), ElementsAre(3));
}

TEST_F(TapeRead, Mode2Reads600Baud) {
    const Bytes block = Cat({BasicHeader(), BasicBody()});
    model.TapeGap(0.5);
    model.TapeBytes(BasicHeader(), 600);
    model.TapeGap(1.0);
    model.TapeBytes(BasicBody(), 600);
    ExpectRead(Read(2), block, 0);
    ExpectCassetteCalls(0xFA);
    EXPECT_EQ(model.Ram(routine::MODE), 2);
}

TEST_F(TapeRead, HighByteSetKeepsModeAndReads1200) {
    model.TapeGap(0.5);
    model.TapeBytes(DataBlock());
    ASSERT_EQ(model.Ram(routine::MODE), 0);
    model.SetRam(routine::MODE, 2);
    const auto r = Read(0x0103);
    EXPECT_CLEAN(r);
    EXPECT_EQ(model.Ram(routine::MODE), 2); // unchanged: recognition, not raw
    ExpectCassetteCalls(0xFB);
    EXPECT_EQ(Buffer(DataBlock().size()), DataBlock());
}

TEST_F(TapeRead, FoundTextsKeepUpWithAScrollingLineFeed) {
    // "Found(...)" is printed while the block's bytes go on coming. With the
    // ROM's cassette input holding one byte, printing may take up to about a
    // byte's time: a 5 ms scroll at 1200 baud, a 15 ms one at 600.
    const Bytes basic = Cat({BasicHeader(), BasicBody()});
    const Bytes raw = Str("RAW DATA");
    const struct {
        Bytes tape;
        std::uint16_t mode;
        Bytes block;
    } cases[] = {{basic, 1, basic},
                 {MachineCode(), 1, MachineCode()},
                 {DataBlock(), 1, DataBlock()},
                 {raw, 3, raw}};
    for (const auto& [baud, lineFeed] : {std::pair{1200, 20'000}, std::pair{600, 60'000}}) {
        for (const auto& c : cases) {
            pc88::CPc8801 m({routine::kOrigin, routine::CODEEND, routine::ROUTINEEND});
            m.LoadRoutine(routine::kImage);
            m.SetPutCharCost(1'500, lineFeed);
            m.TapeGap(0.5);
            m.TapeBytes(c.tape, baud);
            const auto r =
                m.Call(routine::TAPEREAD, static_cast<std::uint16_t>(c.mode + (baud == 600)));
            EXPECT_CLEAN(r);
            EXPECT_EQ(r.value, c.block.size()) << baud << " baud, mode " << c.mode;
            EXPECT_EQ(m.Ram(routine::RESCODE), 0);
        }
    }
}

// ---- the restart rule -------------------------------------------------------------

TEST_F(TapeRead, BasicRunBrokenByColonStartsMachineCode) {
    model.TapeGap(0.5);
    model.TapeBytes(Rep(0xD3, 4));
    model.TapeBytes(MachineCode());
    const auto r = Read(1);
    ExpectRead(r, MachineCode(), 0);
    EXPECT_EQ(model.Screen(), "Found(Machine Code)\r\n");
}

TEST_F(TapeRead, DataRunBrokenByOtherByteHuntsOn) {
    model.TapeGap(0.5);
    model.TapeBytes(Cat({Rep(0x9C, 5), Bytes{0x41}, Bytes{0x42}}));
    model.TapeBytes(DataBlock());
    ExpectRead(Read(1), DataBlock(), 0);
    EXPECT_EQ(model.Screen(), "Found(Data)\r\n");
}

TEST_F(TapeRead, NamedHeaderFollowedByOtherByteIsGivenUp) {
    model.TapeGap(0.5);
    model.TapeBytes(Cat({Str("$$$"), Str("NAME01")}));
    model.TapeGap(1.0);
    model.TapeBytes(DataBlock()); // &H9C where ":" should be: a data block at offset 0
    const auto r = Read(1);
    ExpectRead(r, DataBlock(), 0);
    EXPECT_EQ(model.Screen(), "Found(Data)\r\n");
}

TEST_F(TapeRead, DollarRunBrokenRestartsWithBreakingByte) {
    model.TapeGap(0.5);
    model.TapeBytes(Str("$$"));
    model.TapeBytes(Cat({BasicHeader(), BasicBody()}));
    ExpectRead(Read(1), Cat({BasicHeader(), BasicBody()}), 0);
}

// ---- the end of a BASIC program ---------------------------------------------------

TEST_F(TapeRead, TenZerosEndBasicProgram) {
    const Bytes body = Cat({Bytes{0x01}, Rep(0, 10)});
    model.TapeGap(0.5);
    model.TapeBytes(BasicHeader());
    model.TapeBytes(body);
    model.TapeBytes(Bytes{0x00, 0x00, 0x33});
    ExpectRead(Read(1), Cat({BasicHeader(), body}), 0);
}

TEST_F(TapeRead, NineZerosDoNotEndBasicProgram) {
    const Bytes body =
        Cat({Bytes{0x01}, Rep(0, 9), Bytes{0x02}, Rep(0, 9), Bytes{0x03}, Rep(0, 10)});
    model.TapeGap(0.5);
    model.TapeBytes(BasicHeader());
    model.TapeBytes(body);
    ExpectRead(Read(1), Cat({BasicHeader(), body}), 0);
}

// ---- time limits --------------------------------------------------------------------

TEST_F(TapeRead, BasicBodyThatNeverComesTimesOutAfter300Ticks) {
    model.TapeGap(0.5);
    model.TapeBytes(BasicHeader());
    const auto r = Read(1);
    ExpectRead(r, BasicHeader(), 1);
    EXPECT_EQ(r.value, 16);
    EXPECT_GT(TicksAfterLastByte(), 300.0);
    EXPECT_LT(TicksAfterLastByte(), 301.2);
}

TEST_F(TapeRead, BasicBodyAfterFourSecondsIsStillTaken) {
    const Bytes body = Cat({Bytes{0x05}, Rep(0, 10)});
    model.TapeGap(0.5);
    model.TapeBytes(BasicHeader());
    model.TapeGap(4.9);
    model.TapeBytes(body);
    ExpectRead(Read(1), Cat({BasicHeader(), body}), 0);
}

TEST_F(TapeRead, GapInsideBlockTimesOutAfter60Ticks) {
    const Bytes part = Cat({BasicHeader(), Bytes{0x01, 0x02, 0x03}});
    model.TapeGap(0.5);
    model.TapeBytes(part);
    model.TapeGap(1.2);
    model.TapeBytes(Rep(0, 10));
    const auto r = Read(1);
    ExpectRead(r, part, 1);
    EXPECT_GT(TicksAfterLastByte(), 60.0);
    EXPECT_LT(TicksAfterLastByte(), 61.2);
}

TEST_F(TapeRead, GapOfUnder60TicksInsideBlockIsBridged) {
    const Bytes body = Cat({Bytes{0x01}, Rep(0, 10)});
    model.TapeGap(0.5);
    model.TapeBytes(BasicHeader());
    model.TapeBytes(Bytes{0x01});
    model.TapeGap(0.95);
    model.TapeBytes(Rep(0, 10));
    ExpectRead(Read(1), Cat({BasicHeader(), body}), 0);
}

TEST_F(TapeRead, NamedHeaderWithoutColonTimesOutAfter300Ticks) {
    model.TapeGap(0.5);
    model.TapeBytes(Cat({Str("$$$"), Str("NAME01")}));
    const auto r = Read(1);
    ExpectRead(r, Cat({Str("$$$"), Str("NAME01")}), 1);
    EXPECT_EQ(model.Screen(), "");
}

TEST_F(TapeRead, HuntWaitsWithoutLimit) {
    model.TapeGap(20.0); // far beyond any limit
    model.TapeBytes(DataBlock());
    ExpectRead(Read(1), DataBlock(), 0);
}

// ---- machine-code records ---------------------------------------------------------

TEST_F(TapeRead, RecordNotBeginningWithColonIsReadError) {
    const Bytes good = Cat({Bytes{':', 0xC0, 0x00, 0x40}, Bytes{':', 0x01, 0xAA, 0x55}});
    model.TapeGap(0.5);
    model.TapeBytes(good);
    model.TapeBytes(Bytes{0x3B, ':', 0x00, 0x00});
    model.SetBufferByte(static_cast<std::uint16_t>(good.size()), 0x00);
    const auto r = Read(1);
    ExpectRead(r, good, 3);
    EXPECT_EQ(model.BufferByte(static_cast<std::uint16_t>(good.size())), 0x00)
        << "the bad byte is not stored";
}

// ---- raw capture --------------------------------------------------------------------

TEST_F(TapeRead, RawCaptureSkipsLeadingZerosAndFFsAndEndsOnGap) {
    const Bytes data =
        Cat({Bytes{0x41, 0x00, 0xFF, 0x42}, Rep(0x00, 5), Rep(0xFF, 3), Bytes{0x43}});
    model.TapeGap(0.5);
    model.TapeBytes(Cat({Rep(0x00, 20), Rep(0xFF, 20), Bytes{0x00}}));
    model.TapeBytes(data);
    model.TapeGap(3.0);
    model.TapeBytes(Str("NEXT"));
    const std::size_t beeps = model.BeeperTicks().size();
    const auto r = Read(3);
    ExpectRead(r, data, 0);
    EXPECT_EQ(model.Screen(), "Found(Unknown)\r\n");
    EXPECT_THAT(BeepRuns(model.BeeperTicks(), beeps), ElementsAre(3));
    EXPECT_GT(TicksAfterLastByte(), 60.0);
    EXPECT_LT(TicksAfterLastByte(), 61.2);
    ExpectCassetteCalls(0xFB);
}

TEST_F(TapeRead, RawCaptureTakesHeadersAsData) {
    const Bytes data = Cat({BasicHeader(), Bytes{0x01}});
    model.TapeGap(0.5);
    model.TapeBytes(data, 600);
    const auto r = Read(4);
    ExpectRead(r, data, 0);
    ExpectCassetteCalls(0xFA);
}

TEST_F(TapeRead, NextReadContinuesTheTape) {
    model.TapeGap(0.5);
    model.TapeBytes(Str("ONE"));
    model.TapeGap(3.0);
    model.TapeBytes(Str("TWO!"));
    ExpectRead(Read(3), Str("ONE"), 0);
    model.ClearLogs();
    ExpectRead(Read(3), Str("TWO!"), 0);
}

// ---- abort by the user ------------------------------------------------------------

TEST_F(TapeRead, EscWhileHuntingGivesCode2) {
    model.KeyAtSeconds(2.0, kEsc);
    const auto r = Read(1);
    ExpectRead(r, Bytes{}, 2);
    EXPECT_EQ(model.Screen(), "");
}

TEST_F(TapeRead, CtrlCInsideHeaderRunGivesCode2) {
    model.TapeGap(0.5);
    model.TapeBytes(Rep(0xD3, 10));
    model.KeyAfterTapeBytes(4, kCtrlC);
    const auto r = Read(1);
    EXPECT_CLEAN(r);
    EXPECT_EQ(ResultCode(), 2);
    EXPECT_GE(r.value, 4);
    EXPECT_LT(r.value, 10);
}

TEST_F(TapeRead, EscWhileWaitingForBasicBodyGivesCode2) {
    model.TapeGap(0.5);
    model.TapeBytes(BasicHeader());
    model.KeyAfterTapeBytes(16, kEsc);
    const auto r = Read(1);
    ExpectRead(r, BasicHeader(), 2);
}

TEST_F(TapeRead, EscInsideDataGivesCode2AndKeepsBytes) {
    model.TapeGap(0.5);
    model.TapeBytes(Cat({Rep(0x9C, 6), Rep(0x41, 200)}));
    model.KeyAfterTapeBytes(50, kEsc);
    const auto r = Read(1);
    EXPECT_CLEAN(r);
    EXPECT_EQ(ResultCode(), 2);
    EXPECT_GE(r.value, 50);
    EXPECT_LE(r.value, 52);
    EXPECT_EQ(Buffer(r.value), Cat({Rep(0x9C, 6), Rep(0x41, r.value - 6u)}));
}

TEST_F(TapeRead, EscInRawCaptureWaitingAndInsideData) {
    model.KeyAtSeconds(1.0, kEsc);
    ExpectRead(Read(3), Bytes{}, 2);
    model.TapeGap(0.5);
    model.TapeBytes(Rep(0x42, 100));
    model.KeyAfterTapeBytes(20, kEsc);
    const auto r = Read(3);
    EXPECT_CLEAN(r);
    EXPECT_EQ(ResultCode(), 2);
    EXPECT_GE(r.value, 20);
}

TEST_F(TapeRead, EscBetweenMachineCodeRecordsGivesCode2) {
    model.TapeGap(0.5);
    model.TapeBytes(Bytes{':', 0xC0, 0x00, 0x40, ':', 0x01, 0x11, 0x22});
    model.KeyAfterTapeBytes(8, kEsc);
    const auto r = Read(1);
    ExpectRead(r, Bytes{':', 0xC0, 0x00, 0x40, ':', 0x01, 0x11, 0x22}, 2);
}

TEST_F(TapeRead, CtrlCInRawCaptureDataGivesCode2) {
    model.TapeGap(0.5);
    model.TapeBytes(Rep(0x31, 40));
    model.KeyAfterTapeBytes(40, kCtrlC);
    const auto r = Read(3);
    ExpectRead(r, Rep(0x31, 40), 2);
}

TEST_F(TapeRead, OtherKeysAreDropped) {
    model.KeyAtSeconds(0.1, 'A');
    model.KeyAtSeconds(0.2, 0x0D);
    model.TapeGap(1.0);
    model.TapeBytes(DataBlock());
    ExpectRead(Read(1), DataBlock(), 0);
}

// ---- receive errors ---------------------------------------------------------------

TEST_F(TapeRead, ReceiveErrorGivesCode3AndClearsTheFlag) {
    model.TapeGap(0.5);
    model.TapeBytes(Cat({Rep(0x9C, 6), Str("AB")}));
    model.TapeByte('C', 1200, true);
    model.TapeBytes(Str("D\n"));
    const auto r = Read(1);
    ExpectRead(r, Cat({Rep(0x9C, 6), Str("AB")}), 3);
    EXPECT_EQ(model.Ram(pc88::kCellRxError), 0);
}

TEST_F(TapeRead, ReceiveErrorWhileHuntingGivesCode3) {
    model.TapeGap(0.5);
    model.TapeByte(0x11, 1200, true);
    model.TapeBytes(DataBlock());
    const auto r = Read(1);
    ExpectRead(r, Bytes{}, 3);
    EXPECT_EQ(model.Ram(pc88::kCellRxError), 0);
}

TEST_F(TapeRead, ReceiveErrorInRawCaptureGivesCode3) {
    model.TapeGap(0.5);
    model.TapeBytes(Str("XYZ"));
    model.TapeByte('W', 1200, true);
    const auto r = Read(3);
    ExpectRead(r, Str("XYZ"), 3);
    EXPECT_EQ(model.Ram(pc88::kCellRxError), 0);
}

// ---- what stays and what is restored ------------------------------------------------

TEST_F(TapeRead, WrongSpeedHearsNothing) {
    model.TapeGap(0.5);
    model.TapeBytes(DataBlock(), 600);
    model.KeyAtSeconds(3.0, kEsc);
    const auto r = Read(1);
    ExpectRead(r, Bytes{}, 2);
    EXPECT_GT(model.TapeUnheard(), 0u);
}

TEST_F(TapeRead, HookIsOnlyInstalledDuringTheRead) {
    model.TapeGap(0.5);
    model.TapeBytes(DataBlock());
    EXPECT_CLEAN(Read(1));
    EXPECT_EQ(model.RamWord(pc88::kCellVrtcVector), pc88::kBasicVrtcHandler);
    EXPECT_EQ(model.RamWord(routine::OLDVEC), pc88::kBasicVrtcHandler);
    EXPECT_EQ(model.Port40() & 0x20, 0);
}

} // namespace
} // namespace model_test
