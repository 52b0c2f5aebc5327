// SPDX-License-Identifier: GPL-3.0-or-later
// The port over a real pseudo-terminal: the test plays the PC-8801 on the
// master side, the port opens the slave by its path.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "PtyPair.h"
#include "WaitFor.h"
#include "serial/CommPort.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Transfer-like text: hex digits and line ends, never XON or XOFF (those
// are flow control on this line, not data).
Bytes HexLines(std::size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    Bytes b;
    b.reserve(n);
    for (std::size_t i = 0; b.size() < n; ++i) {
        if (i % 34 == 32)
            b.push_back('\r');
        else if (i % 34 == 33)
            b.push_back('\n');
        else
            b.push_back(static_cast<std::uint8_t>(kDigits[(i * 7 + i / 34) % 16]));
    }
    return b;
}

class CommPortPty : public ::testing::Test {
  protected:
    void SetUp() override {
        m_port.SetReceivedCallback([this] { ++m_nReceived; });
        m_port.SetLinkLostCallback([this](const CCommError& e) {
            std::lock_guard lock(m_mutex);
            m_lost.push_back(e);
        });
    }

    bool OpenPort(unsigned nBaud = BAUD_19200) {
        return m_port.Open(m_pty.SlavePath(), nBaud, DATABITS_7, STOPBITS_10, PARITY_NONE, true);
    }

    // Everything the port received until `count` bytes are there.
    Bytes Collect(std::size_t count) {
        Bytes all, part;
        WaitFor([&] {
            m_port.TakeReceived(part);
            all.insert(all.end(), part.begin(), part.end());
            return all.size() >= count;
        });
        return all;
    }

    std::size_t LostCount() {
        std::lock_guard lock(m_mutex);
        return m_lost.size();
    }

    CPtyPair m_pty;
    CCommPort m_port;
    std::atomic<int> m_nReceived{0};
    std::mutex m_mutex;
    std::vector<CCommError> m_lost;
};

TEST_F(CommPortPty, OpenSetsTheLineRawWithXonXoffAndCloseRestoresIt) {
    termios before{};
    ASSERT_EQ(tcgetattr(m_pty.Slave(), &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON);

    ASSERT_TRUE(OpenPort(BAUD_19200)) << m_port.GetOpenError().strReason;
    termios t{};
    ASSERT_EQ(tcgetattr(m_pty.Slave(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IGNBRK | BRKINT | PARMRK), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetispeed(&t), B19200);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);

    EXPECT_TRUE(m_port.Close());
    termios after{};
    ASSERT_EQ(tcgetattr(m_pty.Slave(), &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

TEST_F(CommPortPty, BytesArriveCompleteAndInOrder) {
    ASSERT_TRUE(OpenPort());
    // More than the line's input buffer holds, so the far end is pushed
    // back by XOFF and the port's reads must keep up.
    const Bytes text = HexLines(256 * 1024);
    std::atomic<bool> written{false};
    std::thread farEnd([&] { written = m_pty.Write(text, 60s); });
    const Bytes got = Collect(text.size());
    farEnd.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(got.size(), text.size());
    EXPECT_TRUE(got == text);
}

TEST_F(CommPortPty, OneNotificationForABurstOneForEachSpacedByte) {
    ASSERT_TRUE(OpenPort());
    ASSERT_TRUE(m_pty.Write("CAS1\r\n0003\r\n0102FF\r\n02\r\n"));
    ASSERT_EQ(Collect(24).size(), 24u);
    // One write reaches the port in one go; a few notifications at most if
    // the machine is busy, never one per byte.
    std::this_thread::sleep_for(50ms);
    EXPECT_GE(m_nReceived, 1);
    EXPECT_LE(m_nReceived, 3);

    m_nReceived = 0;
    for (char c : std::string("ABCDE")) {
        const int before = m_nReceived;
        ASSERT_TRUE(m_pty.Write(std::string(1, c)));
        ASSERT_TRUE(WaitFor([&] { return m_nReceived == before + 1; }));
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(m_nReceived, before + 1);
    }
    EXPECT_EQ(Collect(5), Text("ABCDE"));
}

TEST_F(CommPortPty, SendOf40BytesArrivesWholeWithPendingFallingByChunks) {
    ASSERT_TRUE(OpenPort());
    const Bytes text = HexLines(40);
    m_port.Send(text);

    // Every count seen lies on a chunk boundary and never rises.
    std::vector<int> seen;
    WaitFor([&] {
        const int n = m_port.GetSendPending();
        if (seen.empty() || seen.back() != n)
            seen.push_back(n);
        return n == 0;
    });
    const Bytes got = m_pty.Read(40, 10s);
    EXPECT_EQ(got, text);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_TRUE(seen[i] == 40 || seen[i] == 24 || seen[i] == 8 || seen[i] == 0) << seen[i];
        if (i > 0) {
            EXPECT_LT(seen[i], seen[i - 1]);
        }
    }
    EXPECT_EQ(seen.back(), 0);
}

TEST_F(CommPortPty, XoffHoldsOutputAndPendingCountUntilXon) {
    m_pty.SetPacketMode();
    ASSERT_TRUE(OpenPort());
    Bytes early;
    ASSERT_TRUE(m_pty.Write(Bytes{0x13}));
    ASSERT_TRUE(m_pty.WaitFlow(TIOCPKT_STOP, early));

    const Bytes text = HexLines(100);
    m_port.Send(text);
    EXPECT_TRUE(m_pty.Read(1, 300ms).empty());
    EXPECT_EQ(m_port.GetSendPending(), 100);

    Bytes got;
    ASSERT_TRUE(m_pty.Write(Bytes{0x11}));
    ASSERT_TRUE(m_pty.WaitFlow(TIOCPKT_START, got));
    const Bytes rest = m_pty.Read(100 - got.size(), 10s);
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, text);
    EXPECT_TRUE(WaitFor([&] { return m_port.GetSendPending() == 0; }));
    EXPECT_TRUE(early.empty());
}

TEST_F(CommPortPty, ClearSendQueueWhileHeldSendsAtMostTheChunkUnderWay) {
    m_pty.SetPacketMode();
    ASSERT_TRUE(OpenPort());
    Bytes ignored;
    ASSERT_TRUE(m_pty.Write(Bytes{0x13}));
    ASSERT_TRUE(m_pty.WaitFlow(TIOCPKT_STOP, ignored));

    const Bytes cancelled = HexLines(100);
    m_port.Send(cancelled);
    std::this_thread::sleep_for(100ms); // let the writer take its first chunk
    m_port.ClearSendQueue();
    EXPECT_EQ(m_port.GetSendPending(), 0);
    m_port.Send(Text("NEXT"));

    Bytes got;
    ASSERT_TRUE(m_pty.Write(Bytes{0x11}));
    ASSERT_TRUE(m_pty.WaitFlow(TIOCPKT_START, got));
    ASSERT_TRUE(WaitFor([&] { return m_port.GetSendPending() == 0; }));
    const Bytes rest = m_pty.Read(200, 300ms);
    got.insert(got.end(), rest.begin(), rest.end());

    // At most one chunk of the cancelled text, from its start, then the
    // text queued after the clear, whole.
    ASSERT_GE(got.size(), 4u);
    const std::size_t nCancelled = got.size() - 4;
    EXPECT_LE(nCancelled, CCommPort::kChunkSize);
    EXPECT_EQ(
        Bytes(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(nCancelled)),
        Bytes(cancelled.begin(), cancelled.begin() + static_cast<std::ptrdiff_t>(nCancelled)));
    EXPECT_EQ(Bytes(got.end() - 4, got.end()), Text("NEXT"));
}

TEST_F(CommPortPty, CloseIsPromptWhileXoffHoldsASend) {
    m_pty.SetPacketMode();
    ASSERT_TRUE(OpenPort());
    Bytes ignored;
    ASSERT_TRUE(m_pty.Write(Bytes{0x13}));
    ASSERT_TRUE(m_pty.WaitFlow(TIOCPKT_STOP, ignored));
    m_port.Send(HexLines(1000));
    std::this_thread::sleep_for(50ms);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_port.Close());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(m_port.IsOpen());
}

TEST_F(CommPortPty, PulledCableEndsTheReaderWithOneLinkLostNotification) {
    ASSERT_TRUE(OpenPort());
    ASSERT_TRUE(m_pty.Write("0102"));
    ASSERT_EQ(Collect(4), Text("0102"));

    m_pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return LostCount() == 1; }));
    m_port.Send(Text("into the void"));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(LostCount(), 1u);
    {
        // A hung-up pseudo-terminal answers EIO, or reads nothing: both are
        // the far end gone, and the user reads that, in our words.
        std::lock_guard lock(m_mutex);
        EXPECT_EQ(m_lost[0].strReason,
                  "回線が切れました (相手側が閉じたか、ケーブルが抜かれました)");
    }
    EXPECT_TRUE(m_port.IsOpen());
    EXPECT_TRUE(m_port.Close());
}

TEST_F(CommPortPty, OpenOfAMissingDeviceFailsAndLeavesThePortClosed) {
    EXPECT_FALSE(m_port.Open("/dev/relmuth-no-such-port", BAUD_9600, DATABITS_7, STOPBITS_10,
                             PARITY_NONE, true));
    EXPECT_EQ(m_port.GetOpenError().nErrno, ENOENT);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_TRUE(m_port.Close());

    // Not a terminal at all.
    EXPECT_FALSE(m_port.Open("/dev/null", BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
    EXPECT_EQ(m_port.GetOpenError().nErrno, ENOTTY);
    EXPECT_FALSE(m_port.IsOpen());

    // The same port is usable afterwards.
    EXPECT_TRUE(OpenPort());
}

TEST_F(CommPortPty, SecondOpenOfAnOpenDeviceFailsEvenThroughAnotherName) {
    ASSERT_TRUE(OpenPort());
    CCommPort other;
    EXPECT_FALSE(
        other.Open(m_pty.SlavePath(), BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
    EXPECT_EQ(other.GetOpenError().nErrno, EBUSY);
    EXPECT_FALSE(other.IsOpen());

    // A by-id style link to the same device is the same port.
    const auto link =
        std::filesystem::temp_directory_path() / ("relmuth-port-link-" + std::to_string(getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(m_pty.SlavePath(), link);
    EXPECT_FALSE(other.Open(link.string(), BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
    std::filesystem::remove(link);

    // The first port goes on working, and once closed the device is free.
    ASSERT_TRUE(m_pty.Write("OK"));
    EXPECT_EQ(Collect(2), Text("OK"));
    m_port.Close();
    EXPECT_TRUE(
        other.Open(m_pty.SlavePath(), BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
}

} // namespace
