// SPDX-License-Identifier: GPL-3.0-or-later
// The line settings as a POSIX terminal device takes them.
#pragma once

#include <termios.h>

#include "serial/DeviceControl.h"

// The terminal settings for the line: `current` made raw (no echo, no
// signals, no translation of any byte), receiver on, modem lines ignored, no
// hardware flow control, then the speed, frame and software flow control.
// VMIN 1 and VTIME 0: the port reads without blocking, and with VMIN 1 a
// read that returns 0 means the line was hung up, never "no byte yet".
termios BuildTermios(const termios& current, const CLineSettings& settings, bool bXonXoff);

// Whether the settings read back from a device are those we asked for. A
// pseudo-terminal has no frame: the system keeps it at 8 bits without parity
// whatever we ask, so there character size and parity may differ; any other
// difference, and any at all on a real device, means the line is not set up.
bool SettingsTookEffect(const termios& wanted, const termios& got, bool bPseudoTerminal);
