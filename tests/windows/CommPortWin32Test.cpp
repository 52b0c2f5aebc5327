// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows port on a COM port whose far end is com_peer.py: under wine,
// COMn is a link to a pseudo-terminal, and the peer on its master side
// answers the commands the tests send. RELMUTH_TEST_COM names the port
// number (scripts/test-windows.sh sets it; without it the tests skip). The
// hang-up comes last: after it the line is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "res/Strings.h"
#include "serial/CommPort.h"
#include "serial/PortList.h"
#include "serial/PortNames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

int TestPort() {
    const char* port = std::getenv("RELMUTH_TEST_COM");
    return port != nullptr ? std::atoi(port) : 0;
}

template <class F> bool WaitFor(F done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class ComPort : public testing::Test {
  protected:
    void SetUp() override {
        nPort = TestPort();
        if (nPort == 0)
            GTEST_SKIP() << "RELMUTH_TEST_COM names no port";
        port.SetReceivedCallback([this] { ++nNotices; });
        port.SetLinkLostCallback([this](const CCommError& e) {
            std::lock_guard lock(mutex);
            lost = e;
        });
        ASSERT_TRUE(port.Open(nPort, BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true))
            << port.GetOpenError().strReason;
    }

    void Send(const std::string& text) {
        port.Send(reinterpret_cast<const std::uint8_t*>(text.data()),
                  static_cast<int>(text.size()));
    }

    // Everything received until it holds `want` bytes or the time is up.
    Bytes Receive(std::size_t want) {
        WaitFor([&] {
            Bytes more;
            port.TakeReceived(more);
            got.insert(got.end(), more.begin(), more.end());
            return got.size() >= want;
        });
        Bytes all = std::move(got);
        got.clear();
        return all;
    }
    std::string ReceiveText(std::size_t want) {
        const Bytes bytes = Receive(want);
        return std::string(bytes.begin(), bytes.end());
    }

    int nPort = 0;
    CCommPort port;
    std::atomic<int> nNotices{0};
    std::mutex mutex;
    std::optional<CCommError> lost;
    Bytes got;
};

// Bytes of every value but XON and XOFF, which the line keeps for itself.
Bytes Pattern(std::size_t n) {
    Bytes bytes;
    for (std::size_t i = 0; bytes.size() < n; ++i) {
        const auto b = static_cast<std::uint8_t>(i * 7 + 3);
        if (b != 0x11 && b != 0x13)
            bytes.push_back(b);
    }
    return bytes;
}

TEST_F(ComPort, BytesGoBothWaysAndTheQueueEmpties) {
    const Bytes pattern = Pattern(300);
    Send("ECHO 300\n");
    port.Send(pattern);
    EXPECT_TRUE(WaitFor([&] { return port.GetSendPending() == 0; }));
    EXPECT_EQ(Receive(pattern.size()), pattern);
    EXPECT_GT(nNotices.load(), 0);
    // 7 data bits on a real line; a pseudo-terminal carries all 8.
    std::lock_guard lock(mutex);
    EXPECT_FALSE(lost.has_value());
}

// Windows opens a COM port for one program at a time. Wine does not refuse
// a second open of a port that leads to a pseudo-terminal; there the test
// can only skip.
TEST_F(ComPort, SecondOpenIsRefusedAsInUse) {
    CCommPort second;
    if (second.Open(nPort, BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true))
        GTEST_SKIP() << "this system lets a second program open the port";
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.GetOpenError().strReason, res::LoadString(res::IDS_REASON_BUSY));
    EXPECT_TRUE(second.Close());
}

// XOFF from the far end holds what was written in the driver: the queue
// keeps counting it until XON lets it go, and nothing is lost.
TEST_F(ComPort, XoffHoldsTheWriterUntilXon) {
    Send("HOLD 64\n");
    ASSERT_EQ(ReceiveText(5), "HELD\n");
    port.Send(Pattern(64));
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(port.GetSendPending(), 0);
    EXPECT_TRUE(WaitFor([&] { return port.GetSendPending() == 0; }));
    EXPECT_EQ(ReceiveText(9), "GOT 0 64\n");
    // Flow control characters and a quiet line are no hang-up.
    std::lock_guard lock(mutex);
    EXPECT_FALSE(lost.has_value()) << lost->nErrno << ": " << lost->strReason;
}

// COM10 and above open only by their \\.\ name, which Open gives them.
// RELMUTH_TEST_COM_HIGH names a second link to the same line.
TEST_F(ComPort, PortsAboveNineOpenByNumber) {
    const char* high = std::getenv("RELMUTH_TEST_COM_HIGH");
    if (high == nullptr)
        GTEST_SKIP() << "RELMUTH_TEST_COM_HIGH names no port";
    port.Close();
    CCommPort other;
    ASSERT_TRUE(other.Open(std::atoi(high), BAUD_19200, DATABITS_7, STOPBITS_10, PARITY_NONE, true))
        << other.GetOpenError().strReason;
    const std::string text = "ECHO 5\nhello";
    other.Send(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
    Bytes echoed;
    WaitFor([&] {
        Bytes more;
        other.TakeReceived(more);
        echoed.insert(echoed.end(), more.begin(), more.end());
        return echoed.size() >= 5;
    });
    EXPECT_EQ(std::string(echoed.begin(), echoed.end()), "hello");
}

// The names users type: COMn in any case up to COM256, opened as \\.\COMn.
TEST(ComPortNames, BecomeDevicePathsAndTheListStartsWithCom1ToCom4) {
    EXPECT_EQ(PortDevicePathFromName("COM5"), "\\\\.\\COM5");
    EXPECT_EQ(PortDevicePathFromName("com12"), "\\\\.\\COM12");
    EXPECT_EQ(PortDevicePathFromName("COM256"), "\\\\.\\COM256");
    EXPECT_EQ(PortDevicePathFromName("COM257"), "COM257");
    EXPECT_EQ(PortDevicePathFromName("\\\\.\\COM7"), "\\\\.\\COM7");
    // The list begins with COM1 to COM4 whatever the system knows.
    const auto entries = CurrentPortEntries(ListSystemSerialPorts());
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[0].strName, "COM1");
    EXPECT_EQ(entries[3].strName, "COM4");
}

TEST(ComPortClosed, MissingPortFailsWithTheSystemsReasonAndCloseIsHarmless) {
    CCommPort port;
    EXPECT_FALSE(port.Open(250, BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.GetOpenError().strReason.empty());
    EXPECT_FALSE(port.Open(0, BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(port.Close());
}

// Last: the far end goes away, and the owner hears of it once.
TEST_F(ComPort, FarEndClosingLosesTheLine) {
    Send("CLOSE\n");
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard lock(mutex);
        return lost.has_value();
    }));
    std::lock_guard lock(mutex);
    ASSERT_TRUE(lost.has_value());
    EXPECT_FALSE(lost->strReason.empty());
}

} // namespace
