// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual PC-8801's devices in its plain mode: the cassette deck playing
// a tape's time line, and the RS-232C line with XON/XOFF.
#include <deque>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/RecordingFormats.h"
#include "pc88/Pc8801.h"
#include "tape/BlockInfo.h"
#include "tape/RelmuthDoc.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint64_t kSecond = pc88::kClockHz;

TEST(Deck, PlaysTheLayoutsRecordsAtTheirSpeedAndKeepsItsPlace) {
    Bytes basic(10, 0xD3);
    basic.insert(basic.end(), {'A', 'B', 'C', 'D', 'E', 'F', 1, 2, 3});
    const std::vector<CTapeBlock> blocks{{basic, 1200}, {Bytes{0x55, 0x66, 0x77}, 600}};
    pc88::CCassetteDeck deck;
    LayOutBlocks(blocks, deck);

    // 1.5 s and 0.5 s of gap before each block; the header apart from its body.
    ASSERT_EQ(deck.Blocks().size(), 2u);
    EXPECT_EQ(deck.Blocks()[0].nStart, 2 * kSecond);
    EXPECT_EQ(deck.Blocks()[0].nKind, BLOCK_BASIC);
    EXPECT_EQ(deck.Blocks()[0].nSize, basic.size());
    EXPECT_EQ(deck.Blocks()[1].nBaud, 600);
    EXPECT_EQ(deck.Blocks()[1].nKind, BLOCK_UNKNOWN);

    Bytes heard;
    std::vector<int> speeds;
    const auto take = [&](const pc88::CCassetteDeck::CPassedByte& b) {
        heard.push_back(b.byte);
        speeds.push_back(b.nBaud);
    };
    // Nothing moves with the motor off.
    deck.Advance(10 * kSecond, take);
    EXPECT_TRUE(heard.empty());
    // The motor on at 10 s: the first byte has passed 2 s + 11 bits later.
    deck.SetMotor(true, 10 * kSecond);
    deck.Advance(12 * kSecond + 11 * kSecond / 1200 - 1, take);
    EXPECT_TRUE(heard.empty());
    deck.Advance(12 * kSecond + 11 * kSecond / 1200, take);
    EXPECT_EQ(heard, Bytes{0xD3});
    // Stopped for a minute, the tape goes on from where it was.
    deck.SetMotor(false, 12 * kSecond + kSecond / 20);
    deck.Advance(72 * kSecond, take);
    const std::size_t atStop = heard.size();
    deck.SetMotor(true, 72 * kSecond);
    deck.Advance(100 * kSecond, take);
    EXPECT_GT(atStop, 1u);
    EXPECT_LT(atStop, 10u);
    Bytes all = basic;
    all.insert(all.end(), {0x55, 0x66, 0x77});
    EXPECT_EQ(heard, all);
    EXPECT_EQ(speeds.back(), 600);
}

// Every tape file the core reads goes into the deck: the images with their
// own time line, raw images at the speed given, recordings as decoded.
TEST(Deck, LoadsEveryTapeFormatOnItsTimeLine) {
    const std::vector<CTapeBlock> blocks{{Bytes{':', 1, 2, 3, 4}, 1200}, {Bytes{9, 8, 7}, 600}};
    pc88::CCassetteDeck laidOut;
    LayOutBlocks(blocks, laidOut);
    const auto starts = [](const pc88::CCassetteDeck& deck) {
        std::vector<std::uint64_t> out;
        for (const auto& block : deck.Blocks())
            out.push_back(block.nStart + static_cast<std::uint64_t>(block.nBaud));
        return out;
    };

    const std::string folder = ::testing::TempDir();
    for (const char* name : {"deck.kxm", "deck.T88", "deck.wav", "deck.cas"}) {
        CRelmuthDoc doc(nullptr, TapeFormats());
        doc.ReplaceTape(blocks);
        const std::string path = folder + name;
        ASSERT_TRUE(doc.OnSaveDocument(path)) << name;
        pc88::CCassetteDeck deck;
        pc88::LoadTapeFile(path, 1200, deck);
        if (IsRawImageName(path)) {
            // No speeds in a raw image: the blocks play at the speed given.
            ASSERT_EQ(deck.Blocks().size(), 2u);
            EXPECT_EQ(deck.Blocks()[0].nBaud + deck.Blocks()[1].nBaud, 2400);
        } else {
            EXPECT_EQ(starts(deck), starts(laidOut)) << name;
        }
    }
}

// The far end of the line as a test drives it: it takes what is sent, and
// says XOFF after a number of characters and XON after some idle waits.
class CFarEnd final : public pc88::CPc8801Outside {
  public:
    void OnTick(std::uint64_t) override {}
    std::uint64_t Idle(std::uint64_t, unsigned wait) override {
        waits.push_back(wait);
        if (++idles == xonAfterIdles)
            incoming.push_back(pc88::kXon);
        return pc88::kClockHz / 1000;
    }
    std::size_t LineReceive(std::span<std::uint8_t> buffer) override {
        std::size_t n = 0;
        while (n < buffer.size() && !incoming.empty()) {
            buffer[n++] = incoming.front();
            incoming.pop_front();
        }
        return n;
    }
    std::size_t LineSend(std::span<const std::uint8_t> bytes) override {
        for (std::uint8_t b : bytes) {
            sent.push_back(b);
            if (sent.size() == xoffAfter)
                incoming.push_back(pc88::kXoff);
        }
        return bytes.size();
    }
    std::deque<std::uint8_t> incoming;
    Bytes sent;
    std::vector<unsigned> waits;
    std::size_t xoffAfter = 0;
    unsigned idles = 0;
    unsigned xonAfterIdles = 0;
};

TEST(Line, XoffHoldsTheOutputUntilXonAndNothingIsLost) {
    pc88::CPc8801 machine;
    CFarEnd far;
    far.xoffAfter = 10;
    far.xonAfterIdles = 50;
    machine.SetOutside(&far);
    machine.ComOpen("N71XN");
    Bytes text;
    for (int i = 0; i < 40; ++i)
        text.push_back(static_cast<std::uint8_t>('A' + i % 26));
    const std::uint64_t start = machine.Now();
    machine.ComWrite(text);
    machine.ComClose();
    EXPECT_EQ(far.sent, text);
    // Held for 50 waits on the far end's byte, after the tenth character.
    EXPECT_EQ(far.waits.size(), 50u);
    EXPECT_THAT(far.waits, testing::Each(pc88::CPc8801Outside::waitLineIn));
    // 40 characters of 9 bits at 9600 baud, and the 50 ms held.
    EXPECT_EQ(machine.Now() - start, 40 * (9 * kSecond / 9600) + 50 * (kSecond / 1000));
}

TEST(Line, LoadTakesBytesAtLineSpeedAndOnlyWhileOpen) {
    pc88::CPc8801 machine;
    CFarEnd far;
    machine.SetOutside(&far);
    machine.SetRs232Baud(1200);
    for (std::uint8_t c : Bytes{'1', '0', ' ', 'A', pc88::kXoff, pc88::kXon})
        far.incoming.push_back(c);
    machine.Elapse(kSecond);
    EXPECT_EQ(far.incoming.size(), 6u) << "taken in with no COM file open";
    machine.ComOpen("N71XN");
    const std::uint64_t start = machine.Now();
    Bytes got;
    for (int i = 0; i < 4; ++i)
        got.push_back(machine.ComRead());
    EXPECT_EQ(got, (Bytes{'1', '0', ' ', 'A'}));
    EXPECT_EQ(machine.Now() - start, 4 * (9 * kSecond / 1200));
    EXPECT_FALSE(machine.LineHeld()) << "XOFF and XON are flow control, not data";
}

// The line takes no more than its receive buffer holds while the program
// does not read: the rest waits in the cable, and comes in order once the
// program reads.
TEST(Line, InputBeyondTheReceiveBufferWaitsInTheCable) {
    pc88::CPc8801 machine;
    CFarEnd far;
    machine.SetOutside(&far);
    Bytes sent(100000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>('0' + i % 10);
        far.incoming.push_back(sent[i]);
    }
    machine.ComOpen("N71XN");
    machine.ComWrite(Bytes(40, 'A'));
    EXPECT_EQ(far.incoming.size(), sent.size() - 256);
    Bytes got;
    for (int i = 0; i < 300; ++i)
        got.push_back(machine.ComRead());
    EXPECT_EQ(got, Bytes(sent.begin(), sent.begin() + 300));
    EXPECT_EQ(far.incoming.size(), sent.size() - 300 - 255) << "the buffer is full again";
}

// Held by XOFF with a full buffer, the line still hears XON: what comes
// between is lost as a real USART loses it, but the output goes on.
TEST(Line, XonFreesTheLineWhenTheReceiveBufferIsFull) {
    pc88::CPc8801 machine;
    CFarEnd far;
    machine.SetOutside(&far);
    far.incoming.push_back(pc88::kXoff);
    for (int i = 0; i < 300; ++i)
        far.incoming.push_back('x');
    far.incoming.push_back(pc88::kXon);
    machine.ComOpen("N71XN");
    machine.ComWrite(Bytes{'A'});
    machine.ComClose();
    EXPECT_EQ(far.sent, Bytes{'A'});
    EXPECT_TRUE(far.incoming.empty());
}

} // namespace
