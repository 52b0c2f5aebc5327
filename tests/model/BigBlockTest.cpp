// SPDX-License-Identifier: GPL-3.0-or-later
// A block of 65,535 bytes crosses all four banks of the buffer; every byte
// reads back through PEEKBUF and SENDLINE. A 65,536th byte does not fit.
#include <cstdio>

#include "model/ModelSupport.h"

namespace model_test {
namespace {

Bytes BigDataBlock() {
    Bytes block = Rep(0x9C, 6);
    std::uint32_t x = 12345;
    while (block.size() < 65534) {
        x = x * 1103515245u + 12345u;
        std::uint8_t b = static_cast<std::uint8_t>(x >> 16);
        if (b == 0x0A)
            b = 0x0B;
        block.push_back(b);
    }
    block.push_back(0x0A);
    return block;
}

std::string HexLine(const Bytes& block, std::size_t offset, unsigned& sum) {
    std::string line;
    char digits[4];
    sum = 0;
    for (std::size_t i = offset; i < block.size() && i < offset + 16; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", block[i]);
        line += digits;
        sum = (sum + block[i]) & 0xFF;
    }
    return line + "\r\n";
}

class BigBlock : public ModelTest {};

TEST_F(BigBlock, Block65535CrossesAllBanksAndReadsBack) {
    const Bytes block = BigDataBlock();
    ASSERT_EQ(block.size(), 65535u);
    model.TapeGap(0.5);
    model.TapeBytes(block);
    const auto r = model.Call(routine::TAPEREAD, 1, pc88::kTypeInteger, 1200.0);
    EXPECT_CLEAN(r);
    EXPECT_EQ(ResultCode(), 0);
    EXPECT_EQ(r.value, 65535);
    EXPECT_EQ(model.RamWord(routine::DATALEN), 65535);
    EXPECT_EQ(model.TapeTaken(), 65535u);
    ASSERT_EQ(Buffer(65535), block) << "stored in place, bank by bank";

    std::size_t peekFailures = 0, peekDirty = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
        const auto p = model.Call(routine::PEEKBUF, static_cast<std::uint16_t>(i));
        peekFailures += p.value != block[i];
        peekDirty += !p.failures.empty();
    }
    EXPECT_EQ(peekFailures, 0u);
    EXPECT_EQ(peekDirty, 0u);

    std::size_t lineFailures = 0, sumFailures = 0, lineDirty = 0;
    for (std::size_t offset = 0; offset < block.size(); offset += 16) {
        model.ClearLogs();
        const auto s = model.Call(routine::SENDLINE, static_cast<std::uint16_t>(offset));
        unsigned sum = 0;
        lineFailures += model.Rs232() != HexLine(block, offset, sum);
        sumFailures += s.value != sum;
        lineDirty += !s.failures.empty();
    }
    EXPECT_EQ(lineFailures, 0u);
    EXPECT_EQ(sumFailures, 0u);
    EXPECT_EQ(lineDirty, 0u);

    model.ClearLogs();
    model.Call(routine::SENDLINE, 0xFFF0);
    EXPECT_EQ(model.Rs232().size(), 15u * 2 + 2) << "the last line holds 15 bytes";
}

TEST_F(BigBlock, A65536thByteEndsTheReadWithCode3) {
    Bytes data = Rep(0x55, 65536 + 10);
    data[100] = 0x01;
    model.TapeGap(0.5);
    model.TapeBytes(data);
    const auto r = model.Call(routine::TAPEREAD, 3, pc88::kTypeInteger, 1200.0);
    EXPECT_CLEAN(r);
    EXPECT_EQ(ResultCode(), 3);
    EXPECT_EQ(r.value, 65535);
    EXPECT_EQ(model.BufferByte(0), 0x55) << "offset 0 is not written again";
    EXPECT_EQ(model.BufferByte(100), 0x01);
}

} // namespace
} // namespace model_test
