// SPDX-License-Identifier: GPL-3.0-or-later
// The port's reader and writer driven through an in-memory line, for what a
// pseudo-terminal cannot show exactly: where each chunk ends, a non-empty
// system output queue, a clear racing a send, read and write failures.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "FakeSerialDevice.h"
#include "WaitFor.h"
#include "serial/CommPort.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Letters(char first, std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(first + i % 26);
    return b;
}

class CommPortThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        m_port.SetReceivedCallback([this] { ++m_nReceived; });
        m_port.SetLinkLostCallback([this](const CCommError& e) {
            std::lock_guard lock(m_lostMutex);
            m_lost.push_back(e);
            m_bReceivedBeforeLoss = m_nReceived > 0;
        });
    }

    bool OpenFake() {
        return m_port.Open(std::make_unique<CFakeSerialDevice>(m_line), BAUD_9600, DATABITS_7,
                           STOPBITS_10, PARITY_NONE, true);
    }

    std::size_t LostCount() {
        std::lock_guard lock(m_lostMutex);
        return m_lost.size();
    }

    std::shared_ptr<CFakeLine> m_line = std::make_shared<CFakeLine>();
    CCommPort m_port;
    std::atomic<int> m_nReceived{0};
    std::mutex m_lostMutex;
    std::vector<CCommError> m_lost;
    bool m_bReceivedBeforeLoss = false;
};

TEST_F(CommPortThreads, SendOf40BytesLeavesInChunksOf16AndPendingFallsWithEach) {
    m_line->Change([](CFakeLine& l) { l.nWriteCredits = 0; });
    ASSERT_TRUE(OpenFake());
    const Bytes text = Letters('a', 40);
    m_port.Send(text);

    std::vector<int> pending;
    for (int chunk = 0; chunk < 3; ++chunk) {
        // Held by the line: the chunk under way still counts.
        ASSERT_TRUE(WaitFor(
            [&] { return m_line->Look([](CFakeLine& l) { return l.nWriteAttempts; }) > chunk; }));
        pending.push_back(m_port.GetSendPending());
        m_line->Change([](CFakeLine& l) { l.nWriteCredits = 1; });
        ASSERT_TRUE(WaitFor([&] { return m_port.GetSendPending() < pending.back(); }));
    }
    pending.push_back(m_port.GetSendPending());

    EXPECT_EQ(pending, (std::vector<int>{40, 24, 8, 0}));
    EXPECT_EQ(m_line->writes, (std::vector<Bytes>{Bytes(text.begin(), text.begin() + 16),
                                                  Bytes(text.begin() + 16, text.begin() + 32),
                                                  Bytes(text.begin() + 32, text.end())}));
}

TEST_F(CommPortThreads, ChunkStaysPendingUntilTheSystemOutputQueueHasDrained) {
    m_line->Change([](CFakeLine& l) { l.nOutputQueued = 16; });
    ASSERT_TRUE(OpenFake());
    m_port.Send(Letters('a', 20));

    ASSERT_TRUE(
        WaitFor([&] { return m_line->Look([](CFakeLine& l) { return l.writes.size(); }) == 1u; }));
    // Written, but not yet out of the system's queue (XOFF or a slow line):
    // neither counted as sent nor followed by the next chunk.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(m_port.GetSendPending(), 20);
    EXPECT_EQ(m_line->Look([](CFakeLine& l) { return l.writes.size(); }), 1u);

    m_line->Change([](CFakeLine& l) { l.nOutputQueued = 0; });
    EXPECT_TRUE(WaitFor([&] { return m_port.GetSendPending() == 0; }));
    EXPECT_EQ(m_line->Written(), Letters('a', 20));
}

TEST_F(CommPortThreads, ClearSendQueueFinishesTheChunkUnderWayAndKeepsTextQueuedAfterIt) {
    m_line->Change([](CFakeLine& l) { l.nWriteCredits = 0; });
    ASSERT_TRUE(OpenFake());
    const Bytes cancelled = Letters('a', 40);
    m_port.Send(cancelled);
    ASSERT_TRUE(
        WaitFor([&] { return m_line->Look([](CFakeLine& l) { return l.nWriteAttempts; }) > 0; }));

    m_port.ClearSendQueue();
    EXPECT_EQ(m_port.GetSendPending(), 0);
    // Queued while the cancelled chunk is still under way: its completion
    // must not take these bytes for its own.
    m_port.Send(Text("HELLO"));
    EXPECT_EQ(m_port.GetSendPending(), 5);

    m_line->Change([](CFakeLine& l) { l.nWriteCredits = -1; });
    ASSERT_TRUE(WaitFor([&] { return m_port.GetSendPending() == 0; }));
    Bytes expected(cancelled.begin(), cancelled.begin() + 16);
    expected.insert(expected.end(), {'H', 'E', 'L', 'L', 'O'});
    EXPECT_EQ(m_line->Written(), expected);
}

TEST_F(CommPortThreads, IdleWriterSleepsUntilASendWakesIt) {
    ASSERT_TRUE(OpenFake());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto waits = [&] {
        return m_line->Look([](CFakeLine& l) { return std::pair(l.nSendWaits, l.nTimedWaits); });
    };
    EXPECT_EQ(waits(), std::pair(1, 0));

    m_port.Send(Text("0102FF"));
    ASSERT_TRUE(WaitFor([&] { return m_port.GetSendPending() == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(m_line->Written(), Text("0102FF"));
    // Asleep again, without having polled in between.
    EXPECT_LE(waits().first, 3);
    EXPECT_EQ(waits().second, 0);
}

TEST_F(CommPortThreads, OneNotificationPerBurstAndOnePerLoneByte) {
    ASSERT_TRUE(OpenFake());
    m_line->Arrive(Text("0102FF\r\n"));
    ASSERT_TRUE(WaitFor([&] { return m_nReceived == 1; }));

    for (char c : std::string("abc")) {
        const int before = m_nReceived;
        m_line->Arrive({static_cast<std::uint8_t>(c)});
        ASSERT_TRUE(WaitFor([&] { return m_nReceived == before + 1; }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_nReceived, 4);

    Bytes got;
    m_port.TakeReceived(got);
    EXPECT_EQ(got, Text("0102FF\r\nabc"));
    m_port.TakeReceived(got);
    EXPECT_TRUE(got.empty());
}

TEST_F(CommPortThreads, HangUpDeliversWhatArrivedThenReportsTheLossOnce) {
    ASSERT_TRUE(OpenFake());
    m_line->Change([](CFakeLine& l) {
        l.incoming.assign({'0', '2'});
        l.bHungUp = true;
    });
    ASSERT_TRUE(WaitFor([&] { return LostCount() == 1; }));
    // Later failures of the writer are the same loss, not a new one.
    m_line->Change([](CFakeLine& l) { l.nWriteErrno = EIO; });
    m_port.Send(Text("x"));
    ASSERT_TRUE(
        WaitFor([&] { return m_line->Look([](CFakeLine& l) { return l.nWriteAttempts; }) > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    EXPECT_EQ(LostCount(), 1u);
    EXPECT_EQ(m_lost[0].nErrno, 0);
    EXPECT_EQ(m_lost[0].strReason, "回線が切れました (相手側が閉じたか、ケーブルが抜かれました)");
    EXPECT_TRUE(m_bReceivedBeforeLoss);
    Bytes got;
    m_port.TakeReceived(got);
    EXPECT_EQ(got, Text("02"));
    // The port stays open until its owner closes it.
    EXPECT_TRUE(m_port.IsOpen());
    EXPECT_EQ(m_port.GetSendPending(), 1);
    EXPECT_TRUE(m_port.Close());
}

TEST_F(CommPortThreads, ReadOrWriteFailureReportsTheSystemsReason) {
    for (const bool bReader : {true, false}) {
        SCOPED_TRACE(bReader ? "read" : "write");
        m_line = std::make_shared<CFakeLine>();
        {
            std::lock_guard lock(m_lostMutex);
            m_lost.clear();
        }
        ASSERT_TRUE(OpenFake());
        if (bReader) {
            m_line->Change([](CFakeLine& l) { l.nReadErrno = EIO; });
        } else {
            m_line->Change([](CFakeLine& l) { l.nWriteErrno = ENXIO; });
            m_port.Send(Text("x"));
        }
        ASSERT_TRUE(WaitFor([&] { return LostCount() == 1; }));
        const int err = bReader ? EIO : ENXIO;
        EXPECT_EQ(m_lost[0].nErrno, err);
        // The reason in our words: an input/output error on a serial line
        // that is no pseudo-terminal, a device gone.
        EXPECT_EQ(m_lost[0].strReason, bReader ? "入出力エラーが起きました"
                                               : "デバイスが取り外されたか、接続されていません");
        m_port.Close();
        m_port.ClearSendQueue();
    }
}

TEST_F(CommPortThreads, OpenAndCloseRules) {
    EXPECT_TRUE(m_port.Close()); // closed: nothing to do
    ASSERT_TRUE(OpenFake());
    // A second open while open, and changing the callbacks under running
    // threads, are refused.
    EXPECT_FALSE(m_port.Open(std::make_unique<CFakeSerialDevice>(std::make_shared<CFakeLine>()),
                             BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
    EXPECT_FALSE(m_port.SetReceivedCallback({}));
    EXPECT_TRUE(m_port.IsOpen());

    m_line->Arrive(Text("kept"));
    ASSERT_TRUE(WaitFor([&] { return m_nReceived > 0; }));
    m_line->Change([](CFakeLine& l) { l.nWriteCredits = 0; });
    m_port.Send(Text("unsent"));
    EXPECT_TRUE(m_port.Close());
    EXPECT_TRUE(m_port.Close());
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_TRUE(m_line->Look([](CFakeLine& l) { return l.bStopped; }));

    // Close empties neither buffer.
    Bytes got;
    m_port.TakeReceived(got);
    EXPECT_EQ(got, Text("kept"));
    EXPECT_EQ(m_port.GetSendPending(), 6);
    EXPECT_TRUE(m_port.SetReceivedCallback({}));
}

} // namespace
