// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port arguments of the commands that use the line: PORT is COMn
// or a device path; --baud N is 1200, 2400, 4800, 9600 or 19200 (9600 when
// not given). The frame is always the program's: 7 data bits, no parity,
// 1 stop bit, XON/XOFF.
#pragma once

#include <string>

#include "session/TapeSession.h"
#include "tools/relmuth-tape/Commands.h"

struct CPortOptions {
    std::string strPort;
    unsigned nBaudFlag = 0;
    Args rest; // the arguments that are not port options, in order
};

// Takes --baud N out of the arguments of strCommand; false (with the usage
// error) on a bad speed.
bool ParsePortOptions(const std::string& strCommand, const Args& args, CPortOptions& options);

// Opens the port with the program's frame; prints why on failure.
bool OpenCliPort(CTapeSession& session, const CPortOptions& options);
