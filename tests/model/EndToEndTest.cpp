// SPDX-License-Identifier: GPL-3.0-or-later
// Both ends of the cable: a block read from the model's cassette and sent
// line by line through SENDLINE, framed as Grebe's transfer (lines 2160-2290
// of the loader), arrives in Relmuth's receiver as the same block.
#include <cstdio>

#include "model/ModelSupport.h"
#include "session/ReceiveContext.h"
#include "tests/MessageLogUi.h"

namespace model_test {
namespace {

class EndToEnd : public ModelTest {
  protected:
    // What Grebe writes to "COM:N71XN" for the block in the buffer.
    std::string Transfer(std::uint16_t mode, std::uint16_t count) {
        char text[16];
        std::string wire = "\r\nCAS";
        wire += static_cast<char>(0x31 + (mode - 1) % 2);
        std::snprintf(text, sizeof text, "\r\n%04X\r\n", count);
        wire += text;
        unsigned sum = 0;
        for (unsigned adr = 0; adr < count; adr += 16) {
            model.ClearLogs();
            const auto r = model.Call(routine::SENDLINE, static_cast<std::uint16_t>(adr));
            EXPECT_CLEAN(r);
            sum = (sum + r.value) % 256;
            wire += model.Rs232();
        }
        std::snprintf(text, sizeof text, "%02X\r\n", sum);
        return wire + text;
    }

    std::vector<CTapeBlock> Receive(const std::string& wire) {
        CRelmuthDoc doc;
        CMessageLogUi ui;
        CReceiveContext context{doc, ui};
        context.InstallReceiver();
        context.OnSerialBytes({reinterpret_cast<const std::uint8_t*>(wire.data()), wire.size()});
        EXPECT_TRUE(ui.messages.empty());
        return doc.m_blocks;
    }
};

TEST_F(EndToEnd, BasicProgramAt1200) {
    Bytes block = Cat({Rep(0xD3, 10), Str("ENDEND")});
    for (int i = 0; i < 300; ++i)
        block.push_back(static_cast<std::uint8_t>(i * 13 + 1));
    block = Cat({block, Bytes{0x01}, Rep(0, 10)});
    model.TapeGap(0.5);
    model.TapeBytes(block);
    const auto r = Read(1);
    ASSERT_EQ(r.value, block.size());
    EXPECT_EQ(Receive(Transfer(1, r.value)), (std::vector<CTapeBlock>{CTapeBlock{block, 1200}}));
}

TEST_F(EndToEnd, RawCaptureAt600WithAPartialLastLine) {
    Bytes data;
    for (int i = 0; i < 37; ++i)
        data.push_back(static_cast<std::uint8_t>(0x80 + i));
    model.TapeGap(0.5);
    model.TapeBytes(data, 600);
    const auto r = Read(4);
    ASSERT_EQ(r.value, data.size());
    EXPECT_EQ(Receive(Transfer(4, r.value)), (std::vector<CTapeBlock>{CTapeBlock{data, 600}}));
}

} // namespace
} // namespace model_test
