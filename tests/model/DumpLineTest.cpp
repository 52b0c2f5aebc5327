// SPDX-License-Identifier: GPL-3.0-or-later
// DUMPLINE (USR3): one dump line on the screen, byte for byte.
#include <cstdio>

#include "model/ModelSupport.h"

namespace model_test {
namespace {

// The dump line for the bytes that lie below DATALEN.
std::string Expected(std::uint16_t offset, const Bytes& present) {
    char part[16];
    std::snprintf(part, sizeof part, "%04XH : ", offset);
    std::string line = part;
    for (std::size_t i = 0; i < 16; ++i) {
        if (i < present.size()) {
            std::snprintf(part, sizeof part, "%02X ", present[i]);
            line += part;
        } else {
            line += "   ";
        }
    }
    line += ": ";
    for (std::size_t i = 0; i < 16; ++i)
        line += i < present.size() ? static_cast<char>(present[i] < 0x20 ? '.' : present[i]) : ' ';
    return line + "\r\n";
}

class DumpLine : public ModelTest {
  protected:
    std::string Dump(std::uint16_t offset) {
        model.ClearLogs();
        const auto r = model.Call(routine::DUMPLINE, offset);
        EXPECT_CLEAN(r);
        EXPECT_EQ(r.value, offset) << "the result is the argument";
        return model.Screen();
    }
};

TEST_F(DumpLine, FullLine) {
    const Bytes block = Str("0123456789ABCDEF0123456789abcdef!");
    SetBlock(block);
    EXPECT_EQ(Dump(0), Expected(0, Bytes(block.begin(), block.begin() + 16)));
    EXPECT_EQ(Dump(16), Expected(16, Bytes(block.begin() + 16, block.begin() + 32)));
    EXPECT_EQ(Dump(0).size(), 76u);
}

TEST_F(DumpLine, LastPartialLineIsBlankFilled) {
    const Bytes block = Str("0123456789ABCDEF0123");
    SetBlock(block);
    Dump(0); // a full line first, so the blanks must be written again
    EXPECT_EQ(Dump(16), Expected(16, Str("0123")));
    EXPECT_EQ(Dump(16),
              "0010H : 30 31 32 33                                     : 0123            \r\n");
}

TEST_F(DumpLine, CharacterColumn) {
    const Bytes block{0x1F, 0x20, 0x7F, 0x80, 0xFF, 0x00, 0x0D, 0x41,
                      0x7E, 0xA1, 0xDF, 0xE0, 0x01, 0x19, 0x21, 0x0A};
    SetBlock(block);
    const std::string line = Dump(0);
    EXPECT_EQ(line, Expected(0, block));
    EXPECT_EQ(line.substr(58, 16), std::string(". \x7F\x80\xFF..A~\xA1\xDF\xE0..!.", 16));
}

TEST_F(DumpLine, EveryByteValueAsHex) {
    Bytes block(256);
    for (int i = 0; i < 256; ++i)
        block[i] = static_cast<std::uint8_t>(i);
    SetBlock(block);
    for (int line = 0; line < 16; ++line)
        EXPECT_EQ(Dump(static_cast<std::uint16_t>(line * 16)),
                  Expected(static_cast<std::uint16_t>(line * 16),
                           Bytes(block.begin() + line * 16, block.begin() + line * 16 + 16)));
}

TEST_F(DumpLine, BeforeTheFirstReadAnEmptyFrame) {
    EXPECT_EQ(model.RamWord(routine::DATALEN), 0);
    EXPECT_EQ(Dump(0),
              "0000H :                                                 :                 \r\n");
}

TEST_F(DumpLine, AtOrBeyondDataLenAnEmptyFrameWithTheOffset) {
    SetBlock(Str("ABC"));
    EXPECT_EQ(Dump(3), Expected(3, {}));
    EXPECT_EQ(Dump(0xFFF0), Expected(0xFFF0, {}));
}

TEST_F(DumpLine, HighOffsetsFromThePlanes) {
    SetDataLen(0xFFFF);
    Bytes bytes;
    for (std::uint16_t i = 0; i < 15; ++i) {
        model.SetBufferByte(static_cast<std::uint16_t>(0xFFF0 + i),
                            static_cast<std::uint8_t>(0x30 + i));
        bytes.push_back(static_cast<std::uint8_t>(0x30 + i));
    }
    EXPECT_EQ(Dump(0xFFF0), Expected(0xFFF0, bytes));
    for (std::uint16_t i = 0; i < 16; ++i)
        model.SetBufferByte(static_cast<std::uint16_t>(0x3FF8 + i),
                            static_cast<std::uint8_t>(0x61 + i));
    bytes.clear();
    for (std::uint16_t i = 0; i < 16; ++i)
        bytes.push_back(static_cast<std::uint8_t>(0x61 + i));
    EXPECT_EQ(Dump(0x3FF8), Expected(0x3FF8, bytes)) << "a line across banks 0 and 1";
}

TEST_F(DumpLine, NoBeep) {
    SetBlock(Str("X"));
    const std::size_t ticks = model.BeeperTicks().size();
    Dump(0);
    EXPECT_TRUE(BeepRuns(model.BeeperTicks(), ticks).empty());
}

} // namespace
} // namespace model_test
