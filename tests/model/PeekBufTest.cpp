// SPDX-License-Identifier: GPL-3.0-or-later
// PEEKBUF (USR2): the byte at any buffer offset, from any bank.
#include "model/ModelSupport.h"

namespace model_test {
namespace {

class PeekBuf : public ModelTest {};

TEST_F(PeekBuf, ReadsEveryBankWithHighByteZero) {
    const std::uint16_t offsets[] = {0x0000, 0x3FFF, 0x4000, 0x7FFF,
                                     0x8000, 0xBFFF, 0xC000, 0xFFFF};
    std::uint8_t value = 0xA1;
    for (std::uint16_t offset : offsets)
        model.SetBufferByte(offset, value++);
    value = 0xA1;
    for (std::uint16_t offset : offsets) {
        const auto r = model.Call(routine::PEEKBUF, offset);
        EXPECT_CLEAN(r);
        EXPECT_EQ(r.value, value++) << std::hex << offset;
    }
}

TEST_F(PeekBuf, IgnoresDataLen) {
    SetDataLen(0);
    model.SetBufferByte(0x1234, 0x7E);
    const auto r = model.Call(routine::PEEKBUF, 0x1234);
    EXPECT_CLEAN(r);
    EXPECT_EQ(r.value, 0x7E);
}

TEST_F(PeekBuf, BankZeroIsReadFromTheRamBeneathTheRom) {
    // The model's ROM holds other bytes at &H4000-&H7FFF; only the RAM has these.
    for (std::uint16_t offset = 0; offset < 64; ++offset)
        model.SetBufferByte(offset, static_cast<std::uint8_t>(offset * 3));
    for (std::uint16_t offset = 0; offset < 64; ++offset) {
        const auto r = model.Call(routine::PEEKBUF, offset);
        EXPECT_EQ(r.value, static_cast<std::uint8_t>(offset * 3));
    }
    EXPECT_EQ(model.Port31(), 0x19);
}

TEST_F(PeekBuf, RunsOnBasicsStackAndChangesNoResultCode) {
    model.SetRam(routine::RESCODE, 2);
    const auto r = model.Call(routine::PEEKBUF, 5);
    EXPECT_CLEAN(r);
    EXPECT_EQ(ResultCode(), 2);
}

} // namespace
} // namespace model_test
