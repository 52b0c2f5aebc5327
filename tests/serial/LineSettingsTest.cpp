// SPDX-License-Identifier: GPL-3.0-or-later
// From the dialog's flags to the line settings and their device-control
// string, from the settings to what a device is given, and the dialog's
// choice to the flags.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "FakeSerialDevice.h"
#include "serial/CommPort.h"
#include "serial/CommSettings.h"

namespace {

struct CFlagsRow {
    const char* name;
    unsigned nBaud, nData, nStop, nParity;
    CLineSettings settings;
    const char* control;
};

using enum CLineSettings::StopBits;

// Every flag value of the dialog's tables and every fallback.
// clang-format off
const CFlagsRow kFlagRows[] = {
    {"ProgramFrameAt19200", BAUD_19200, DATABITS_7, STOPBITS_10, PARITY_NONE,
     {19200, 7, one, 'N'}, "baud=19 data=7 stop=1 parity=N"},
    {"ProgramFrameAt9600", BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE,
     {9600, 7, one, 'N'}, "baud=96 data=7 stop=1 parity=N"},
    {"ProgramFrameAt1200", BAUD_1200, DATABITS_7, STOPBITS_10, PARITY_NONE,
     {1200, 7, one, 'N'}, "baud=12 data=7 stop=1 parity=N"},
    {"At2400EightBitsEvenTwoStop", BAUD_2400, DATABITS_8, STOPBITS_20, PARITY_EVEN,
     {2400, 8, two, 'E'}, "baud=24 data=8 stop=2 parity=E"},
    {"At4800OddOneAndAHalf", BAUD_4800, DATABITS_7, STOPBITS_15, PARITY_ODD,
     {4800, 7, onePointFive, 'O'}, "baud=48 data=7 stop=1.5 parity=O"},
    {"UnofferedBaud600Is9600", BAUD_600, DATABITS_7, STOPBITS_10, PARITY_NONE,
     {9600, 7, one, 'N'}, "baud=96 data=7 stop=1 parity=N"},
    {"UnknownFlagsFallBack", 0x1, 0x2, 0x8, 0x800,
     {9600, 8, one, 'N'}, "baud=96 data=8 stop=1 parity=N"},
};
// clang-format on

TEST(LineSettings, FlagsBecomeSettingsAndTheControlString) {
    for (const CFlagsRow& row : kFlagRows) {
        SCOPED_TRACE(row.name);
        const CLineSettings settings =
            LineSettingsFromFlags(row.nBaud, row.nData, row.nStop, row.nParity);
        EXPECT_EQ(settings, row.settings);
        EXPECT_TRUE(IsSettable(settings));
        EXPECT_EQ(DeviceControlString(settings), row.control);
        EXPECT_EQ(BuildDeviceControlString(row.nBaud, row.nData, row.nStop, row.nParity),
                  row.control);
    }
}

TEST(LineSettings, SettingsReachTheDevice) {
    struct Row {
        CLineSettings settings;
        speed_t speed;
        tcflag_t size;
        tcflag_t parity; // PARENB / PARODD bits
        bool bTwoStopBits;
    } rows[] = {
        {{19200, 7, one, 'N'}, B19200, CS7, 0, false},
        {{1200, 7, one, 'N'}, B1200, CS7, 0, false},
        {{300, 8, one, 'N'}, B300, CS8, 0, false},
        {{2400, 8, two, 'E'}, B2400, CS8, PARENB, true},
        {{4800, 7, onePointFive, 'O'}, B4800, CS7, PARENB | PARODD, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(DeviceControlString(row.settings));
        auto line = std::make_shared<CFakeLine>();
        CCommPort port;
        ASSERT_TRUE(port.Open(std::make_unique<CFakeSerialDevice>(line), row.settings, true));
        port.Close();
        const termios& t = line->lastSet.value();
        EXPECT_EQ(cfgetospeed(&t), row.speed);
        EXPECT_EQ(cfgetispeed(&t), row.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, row.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD), row.parity);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, row.bTwoStopBits);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(IXON | IXOFF));
    }
}

// Settings no line can be set to leave the device untouched and the port
// closed, and say what was asked.
TEST(LineSettings, UnsettableSettingsDoNotOpen) {
    struct Row {
        CLineSettings settings;
        const char* control;
    } rows[] = {
        {{1234, 7, one, 'N'}, "baud=1234 data=7 stop=1 parity=N"},
        {{38400, 8, one, 'N'}, "baud=38400 data=8 stop=1 parity=N"},
        {{9600, 5, one, 'N'}, "baud=96 data=5 stop=1 parity=N"},
        {{9600, 7, one, 'M'}, "baud=96 data=7 stop=1 parity=M"},
        {{0, 7, two, 'E'}, "baud=0 data=7 stop=2 parity=E"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.control);
        EXPECT_FALSE(IsSettable(row.settings));
        auto line = std::make_shared<CFakeLine>();
        CCommPort port;
        EXPECT_FALSE(port.Open(std::make_unique<CFakeSerialDevice>(line), row.settings, true));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.GetOpenError().nErrno, EINVAL);
        EXPECT_EQ(port.GetOpenError().strReason,
                  std::string("cannot set up the line as \"") + row.control + "\"");
        EXPECT_FALSE(line->lastSet.has_value());
    }
}

TEST(LineSettings, XonXoffOffLeavesSoftwareFlowControlOff) {
    auto line = std::make_shared<CFakeLine>();
    line->attr.c_iflag = IXON | IXOFF | IXANY | ICRNL;
    CCommPort port;
    ASSERT_TRUE(port.Open(std::make_unique<CFakeSerialDevice>(line), BAUD_9600, DATABITS_7,
                          STOPBITS_10, PARITY_NONE, false));
    port.Close();
    EXPECT_EQ(line->lastSet->c_iflag, 0u);
}

// What the device reads back decides: on a pseudo-terminal only the frame
// (character size, parity) may have been refused; anywhere else, or on a
// real device, a refused setting fails the open and leaves the port closed.
TEST(LineSettings, OpenChecksWhatTheDeviceTook) {
    struct Row {
        const char* name;
        bool bPty, bStubborn;
        bool bOpens;
    } rows[] = {
        {"PseudoTerminalKeeps8BitsAndSaysEINVAL", true, false, true},
        {"RealDeviceDroppingIxoff", false, true, false},
        {"PseudoTerminalDroppingIxoff", true, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto line = std::make_shared<CFakeLine>();
        line->bPseudoTerminal = row.bPty;
        line->bStubborn = row.bStubborn;
        CCommPort port;
        EXPECT_EQ(port.Open(std::make_unique<CFakeSerialDevice>(line), BAUD_9600, DATABITS_7,
                            STOPBITS_10, PARITY_NONE, true),
                  row.bOpens);
        EXPECT_EQ(port.IsOpen(), row.bOpens);
        if (!row.bOpens) {
            EXPECT_NE(port.GetOpenError().strReason.find("baud=96 data=7 stop=1 parity=N"),
                      std::string::npos);
        }
    }

    // A real device that quietly keeps 8 bits fails too.
    termios wanted = BuildTermios(termios{}, CLineSettings{9600, 7, CLineSettings::one, 'N'}, true);
    termios got = wanted;
    got.c_cflag = (got.c_cflag & ~CSIZE) | CS8;
    EXPECT_FALSE(SettingsTookEffect(wanted, got, false));
    EXPECT_TRUE(SettingsTookEffect(wanted, got, true));
    got = wanted;
    cfsetospeed(&got, B4800);
    EXPECT_FALSE(SettingsTookEffect(wanted, got, true));
}

TEST(CommSettings, DialogIndexesBecomeOpenArguments) {
    struct Row {
        int nPortIndex, nBaudIndex;
        int nPort;
        unsigned nBaud;
    } rows[] = {
        {0, 0, 1, BAUD_1200},  {1, 1, 2, BAUD_2400},
        {2, 2, 3, BAUD_4800},  {3, 3, 4, BAUD_9600},
        {0, 4, 1, BAUD_19200}, {0, 5, 1, BAUD_9600},
        {0, -1, 1, BAUD_9600}, {kDefaultPortIndex, kDefaultBaudIndex, 1, BAUD_9600},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.nPortIndex << "/" << row.nBaudIndex);
        const CCommOpenArgs args = CommOpenArgsFromDialog(row.nPortIndex, row.nBaudIndex);
        EXPECT_EQ(args, (CCommOpenArgs{row.nPort, row.nBaud, DATABITS_7, STOPBITS_10, PARITY_NONE,
                                       true}));
    }
    // The program's frame at 19200 gives the string of the fastest speed.
    const CCommOpenArgs fast = CommOpenArgsFromDialog(2, 4);
    EXPECT_EQ(BuildDeviceControlString(fast.nBaud, fast.nDataBits, fast.nStopBits, fast.nParity),
              "baud=19 data=7 stop=1 parity=N");
    EXPECT_EQ(CCommPort::PortDevicePath(fast.nPort), "/dev/ttyS2");
}

} // namespace
