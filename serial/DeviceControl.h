// SPDX-License-Identifier: GPL-3.0-or-later
// The line settings of the serial port: the speed, data bits, stop bits and
// parity `CCommPort::Open` sets up, made from the flag values of the settings
// dialog's tables or given as they are, and written as a device-control
// string such as "baud=96 data=7 stop=1 parity=N" for a message, a log line
// and the Windows call that reads such a string into its DCB.
#pragma once

#include <optional>
#include <string>

// Speeds, data bits, stop bits and parity as flag values: those of the
// Win32 COMMPROP record. Where <windows.h> came first, its macros of the
// same names and values stand for them.
#ifndef BAUD_1200
inline constexpr unsigned BAUD_600 = 0x20; // not offered: falls back to 9600
inline constexpr unsigned BAUD_1200 = 0x40;
inline constexpr unsigned BAUD_2400 = 0x100;
inline constexpr unsigned BAUD_4800 = 0x200;
inline constexpr unsigned BAUD_9600 = 0x800;
inline constexpr unsigned BAUD_19200 = 0x2000;

inline constexpr unsigned DATABITS_7 = 0x4;
inline constexpr unsigned DATABITS_8 = 0x8;

inline constexpr unsigned STOPBITS_10 = 0x1;
inline constexpr unsigned STOPBITS_15 = 0x2;
inline constexpr unsigned STOPBITS_20 = 0x4;

inline constexpr unsigned PARITY_NONE = 0x100;
inline constexpr unsigned PARITY_ODD = 0x200;
inline constexpr unsigned PARITY_EVEN = 0x400;
#endif

// The XON and XOFF characters of software flow control.
inline constexpr unsigned char kXon = 0x11;  // DC1
inline constexpr unsigned char kXoff = 0x13; // DC3

struct CLineSettings {
    enum StopBits { one, onePointFive, two };

    int nBaudRate = 9600;
    int nDataBits = 8;
    StopBits stopBits = one;
    char cParity = 'N'; // 'N', 'O' or 'E'

    friend bool operator==(const CLineSettings&, const CLineSettings&) = default;
};

// The settings the flags stand for. Unknown flags take the defaults 9600
// baud, 8 data bits, 1 stop bit, no parity; so does BAUD_600, which the
// program does not offer.
CLineSettings LineSettingsFromFlags(unsigned nBaud, unsigned nDataBits, unsigned nStopBits,
                                    unsigned nParity);

// Whether a port can be set up so: a speed of 300 to 19200 baud that a line
// can be set to, 7 or 8 data bits, parity 'N', 'O' or 'E'.
bool IsSettable(const CLineSettings& settings);

// "baud=%s data=%d stop=%s parity=%c", the speed by its two-digit
// abbreviation ("96", "19"); a speed without one is written in full.
std::string DeviceControlString(const CLineSettings& settings);

// The same for the flags: DeviceControlString(LineSettingsFromFlags(...)).
std::string BuildDeviceControlString(unsigned nBaud, unsigned nDataBits, unsigned nStopBits,
                                     unsigned nParity);
