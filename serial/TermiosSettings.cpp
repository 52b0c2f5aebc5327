// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/TermiosSettings.h"

#include <initializer_list>

namespace {

constexpr tcflag_t kParityBits = PARENB | PARODD;

speed_t SpeedCode(int nRate) {
    switch (nRate) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    default:
        return B9600;
    }
}

} // namespace

termios BuildTermios(const termios& current, const CLineSettings& settings, bool bXonXoff) {
    termios t = current;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CRTSCTS;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    const speed_t code = SpeedCode(settings.nBaudRate);
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);

    t.c_cflag &= ~CSIZE;
    t.c_cflag |= settings.nDataBits == 7 ? CS7 : CS8;

    // A POSIX line has one or two stop bits, nothing between. One and a half
    // becomes two: the far end's receiver needs one and a half bit times of
    // idle line after each character, and two give it that and a half more.
    if (settings.stopBits == CLineSettings::one)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB;

    // Framing and parity errors are not looked at (the bytes are checked by
    // the transfer's own checksum), so INPCK stays off as cfmakeraw left it.
    t.c_cflag &= ~kParityBits;
    if (settings.cParity == 'O')
        t.c_cflag |= PARENB | PARODD;
    else if (settings.cParity == 'E')
        t.c_cflag |= PARENB;

    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (bXonXoff) {
        // IXON: stop sending on XOFF from the far end; IXOFF: send XOFF and
        // XON ourselves as our input queue fills and empties. Only the two
        // characters restart output (no IXANY), as the far end expects.
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = kXon;
        t.c_cc[VSTOP] = kXoff;
    }
    return t;
}

bool SettingsTookEffect(const termios& wanted, const termios& got, bool bPseudoTerminal) {
    const tcflag_t frameBits = bPseudoTerminal ? (CSIZE | kParityBits) : 0;
    if (wanted.c_iflag != got.c_iflag || wanted.c_oflag != got.c_oflag ||
        wanted.c_lflag != got.c_lflag)
        return false;
    if ((wanted.c_cflag & ~frameBits) != (got.c_cflag & ~frameBits))
        return false;
    if (cfgetispeed(&wanted) != cfgetispeed(&got) || cfgetospeed(&wanted) != cfgetospeed(&got))
        return false;
    for (const int cc : {VMIN, VTIME, VSTART, VSTOP})
        if (wanted.c_cc[cc] != got.c_cc[cc])
            return false;
    return true;
}
