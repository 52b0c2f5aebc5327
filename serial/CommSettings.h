// SPDX-License-Identifier: GPL-3.0-or-later
// The choice of the communication settings dialog, turned into the
// arguments of `CCommPort::Open`. The dialog lists the ports "COM1" to "COM4"
// and the speeds "1200", "2400", "4800", "9600", "19200", in that order; the
// frame is always 7 data bits, no parity, 1 stop bit with XON/XOFF, which is
// how the loader on the PC-8801 opens its side.
#pragma once

#include "serial/DeviceControl.h"

struct CCommOpenArgs {
    int nPort = 1;
    unsigned nBaud = BAUD_9600;
    unsigned nDataBits = DATABITS_7;
    unsigned nStopBits = STOPBITS_10;
    unsigned nParity = PARITY_NONE;
    bool bXonXoff = true;

    friend bool operator==(const CCommOpenArgs&, const CCommOpenArgs&) = default;
};

// The dialog's preselection: "COM1" and "9600".
inline constexpr int kDefaultPortIndex = 0;
inline constexpr int kDefaultBaudIndex = 3;

// The speed list's length, and the speed in baud at an index of it (0
// outside the list). The dialog shows the speeds as they are: "1200" ...
inline constexpr int kBaudListSize = 5;
int BaudRateFromIndex(int nBaudIndex);

// The speed flag of a speed-list index; an index outside the list gives 9600.
unsigned BaudFlagFromIndex(int nBaudIndex);

// The `Open` arguments for the chosen list indexes.
CCommOpenArgs CommOpenArgsFromDialog(int nPortIndex, int nBaudIndex);

// The program's frame at the speed of a speed flag (9600 for an unknown
// one), and its flow control: how `CTapeSession` opens the port.
CLineSettings ProgramLineSettings(unsigned nBaudFlag);
inline constexpr bool kProgramXonXoff = true;

// The speed flag for a speed in baud (1200 ... 19200); 0 for any other.
unsigned BaudFlagFromRate(int nRate);
