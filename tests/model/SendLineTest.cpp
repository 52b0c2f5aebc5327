// SPDX-License-Identifier: GPL-3.0-or-later
// SENDLINE (USR4): one transfer data line over the RS-232C line, and its sum.
#include "model/ModelSupport.h"

namespace model_test {
namespace {

class SendLine : public ModelTest {
  protected:
    std::uint16_t Send(std::uint16_t offset) {
        model.ClearLogs();
        const auto r = model.Call(routine::SENDLINE, offset);
        EXPECT_CLEAN(r);
        return r.value;
    }
};

TEST_F(SendLine, FullLineAndItsSum) {
    Bytes block;
    for (int i = 0; i < 20; ++i)
        block.push_back(static_cast<std::uint8_t>(0xF0 + i));
    SetBlock(block);
    EXPECT_EQ(Send(0), (0xF0 * 16 + 120) & 0xFF);
    EXPECT_EQ(model.Rs232(), "F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF\r\n");
    EXPECT_EQ(Send(16), (0x100 + 0x101 + 0x102 + 0x103) & 0xFF);
    EXPECT_EQ(model.Rs232(), "00010203\r\n") << "a count of 20 makes lines of 32 and 8 digits";
}

TEST_F(SendLine, ChecksumExamples) {
    SetBlock(Bytes{0x01, 0x02, 0x03});
    EXPECT_EQ(Send(0), 0x06);
    EXPECT_EQ(model.Rs232(), "010203\r\n");
    SetBlock(Bytes{0xFF, 0x02});
    EXPECT_EQ(Send(0), 0x01);
    EXPECT_EQ(model.Rs232(), "FF02\r\n");
}

TEST_F(SendLine, ExactlySixteenBytes) {
    SetBlock(Str("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(Send(0), [] {
        unsigned s = 0;
        for (char c = 'A'; c <= 'P'; ++c)
            s += static_cast<unsigned>(c);
        return s & 0xFF;
    }());
    EXPECT_EQ(model.Rs232(), "4142434445464748494A4B4C4D4E4F50\r\n");
}

TEST_F(SendLine, AtOrBeyondDataLenOnlyCrLfAndZero) {
    SetBlock(Str("ABC"));
    EXPECT_EQ(Send(3), 0);
    EXPECT_EQ(model.Rs232(), "\r\n");
    EXPECT_EQ(Send(0x8000), 0);
    EXPECT_EQ(model.Rs232(), "\r\n");
}

TEST_F(SendLine, BeforeTheFirstReadOnlyCrLf) {
    EXPECT_EQ(Send(0), 0);
    EXPECT_EQ(model.Rs232(), "\r\n");
}

TEST_F(SendLine, NothingOnTheScreen) {
    SetBlock(Str("Q"));
    Send(0);
    EXPECT_EQ(model.Screen(), "");
}

TEST_F(SendLine, SlowLineTakesItsTimeWithoutLosingTicks) {
    model.SetRs232Baud(1200);
    SetBlock(Rep(0x5A, 16));
    model.ClearLogs();
    const auto r = model.Call(routine::SENDLINE, 0);
    EXPECT_CLEAN(r);
    EXPECT_GE(r.ticks, 15u); // 34 characters of 10 bits at 1200 baud: about 17 ticks
    EXPECT_EQ(model.Rs232(),
              std::string(32, 'A').replace(0, 32, "5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A") + "\r\n");
}

} // namespace
} // namespace model_test
