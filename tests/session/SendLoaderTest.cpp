// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "../serial/PtyPair.h"
#include "../serial/WaitFor.h"
#include "loader/LoaderText.h"
#include "serial/CommPort.h"
#include "serial/CommSettings.h"
#include "session/SendLoader.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

TEST(SendLoader, SendsUpToAndIncludingTheFirstBeepLine) {
    EXPECT_TRUE(LoaderBytesToSend({}).empty());
    const Bytes noMarker = Text("1000 REM\r\nBEEP\r");
    EXPECT_TRUE(LoaderBytesToSend(noMarker).empty());
    const Bytes twice = Text("10 A\r\nBEEP\r\nMORE\r\nBEEP\r\n");
    const auto sent = LoaderBytesToSend(twice);
    EXPECT_EQ(Bytes(sent.begin(), sent.end()), Text("10 A\r\nBEEP\r\n"));
}

TEST(SendLoader, TheWholeLoaderTextIsSent) {
    const auto text = GetLoaderResource();
    ASSERT_GT(text.size(), 8u);
    const auto sent = LoaderBytesToSend(text);
    EXPECT_EQ(sent.size(), text.size());
    EXPECT_EQ(Bytes(text.end() - 8, text.end()), Text(kLoaderEndMarker));
}

TEST(SendLoader, ProgressIsTheShareAlreadySent) {
    EXPECT_EQ(SendProgressPercent(6077, 6077), 0);
    EXPECT_EQ(SendProgressPercent(6077, 1600), 73);
    EXPECT_EQ(SendProgressPercent(6077, 0), 100);
    EXPECT_EQ(SendProgressPercent(6077, 7000), 0); // clamped
    EXPECT_EQ(SendProgressPercent(100, -5), 100);  // clamped
    EXPECT_EQ(SendProgressPercent(0, 0), 100);     // nothing to send is all sent
    EXPECT_TRUE(IsSendComplete(0));
    EXPECT_TRUE(IsSendComplete(-1));
    EXPECT_FALSE(IsSendComplete(1));
}

class SendLoaderPty : public testing::Test {
  protected:
    void SetUp() override {
        const CCommOpenArgs a = CommOpenArgsFromDialog(0, 4);
        ASSERT_TRUE(m_port.Open(m_pty.SlavePath(), a.nBaud, a.nDataBits, a.nStopBits, a.nParity,
                                a.bXonXoff));
    }
    CPtyPair m_pty;
    CCommPort m_port;
};

TEST_F(SendLoaderPty, FarEndGetsExactlyTheLoaderBytes) {
    const auto text = GetLoaderResource();
    ASSERT_EQ(SendLoader(m_port, text), static_cast<int>(text.size()));
    const Bytes got = m_pty.Read(text.size(), 20s);
    EXPECT_EQ(got, Bytes(text.begin(), text.end()));
    EXPECT_TRUE(WaitFor([&] { return IsSendComplete(m_port.GetSendPending()); }));
    EXPECT_TRUE(m_pty.Read(1, 100ms).empty());
}

TEST_F(SendLoaderPty, CancelWhileHeldStopsWithinAChunkAndTheNextSendStartsAfresh) {
    m_port.Close();
    m_pty.SetPacketMode();
    const CCommOpenArgs a = CommOpenArgsFromDialog(0, 4);
    ASSERT_TRUE(m_port.Open(m_pty.SlavePath(), a.nBaud, a.nDataBits, a.nStopBits, a.nParity, true));
    Bytes ignored;
    ASSERT_TRUE(m_pty.Write(Bytes{0x13})); // XOFF: the PC-8801 is busy
    ASSERT_TRUE(m_pty.WaitFlow(TIOCPKT_STOP, ignored));

    const auto text = GetLoaderResource();
    const int nTotal = SendLoader(m_port, text);
    std::this_thread::sleep_for(200ms);
    const int nHeld = m_port.GetSendPending();
    EXPECT_GE(nHeld, nTotal - static_cast<int>(CCommPort::kChunkSize));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(m_port.GetSendPending(), nHeld); // nothing leaves while held
    EXPECT_LT(SendProgressPercent(nTotal, nHeld), 1);

    m_port.ClearSendQueue(); // the user cancels
    EXPECT_TRUE(IsSendComplete(m_port.GetSendPending()));
    Bytes got;
    ASSERT_TRUE(m_pty.Write(Bytes{0x11})); // XON
    ASSERT_TRUE(m_pty.WaitFlow(TIOCPKT_START, got));
    const Bytes rest = m_pty.Read(100, 300ms);
    got.insert(got.end(), rest.begin(), rest.end());
    ASSERT_LE(got.size(), CCommPort::kChunkSize);
    EXPECT_EQ(got, Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(got.size())));

    // Sending again starts from the first byte.
    ASSERT_EQ(SendLoader(m_port, text), nTotal);
    EXPECT_EQ(m_pty.Read(text.size(), 20s), Bytes(text.begin(), text.end()));
}

} // namespace
