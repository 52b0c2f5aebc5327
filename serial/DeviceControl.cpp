// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/DeviceControl.h"

#include <array>
#include <charconv>
#include <sstream>
#include <string_view>

namespace {

struct CSpeed {
    std::string_view abbreviation;
    int nRate;
    speed_t code;
};

// The speeds the port can be set to, with the two-digit abbreviations of the
// device-control syntax.
constexpr std::array<CSpeed, 7> kSpeeds{{
    {"30", 300, B300},
    {"60", 600, B600},
    {"12", 1200, B1200},
    {"24", 2400, B2400},
    {"48", 4800, B4800},
    {"96", 9600, B9600},
    {"19", 19200, B19200},
}};

const CSpeed* FindSpeedByRate(int nRate) {
    for (const CSpeed& s : kSpeeds)
        if (s.nRate == nRate)
            return &s;
    return nullptr;
}

std::optional<int> ParseSpeed(std::string_view value) {
    for (const CSpeed& s : kSpeeds)
        if (s.abbreviation == value)
            return s.nRate;
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || !FindSpeedByRate(n))
        return std::nullopt;
    return n;
}

constexpr tcflag_t kParityBits = PARENB | PARODD;

} // namespace

std::string BuildDeviceControlString(unsigned nBaud, unsigned nDataBits, unsigned nStopBits,
                                     unsigned nParity) {
    const char* baud = "96";
    switch (nBaud) {
    case BAUD_1200:
        baud = "12";
        break;
    case BAUD_2400:
        baud = "24";
        break;
    case BAUD_4800:
        baud = "48";
        break;
    case BAUD_9600:
        baud = "96";
        break;
    case BAUD_19200:
        baud = "19";
        break;
    }
    const char data = nDataBits == DATABITS_7 ? '7' : '8';
    const char* stop = "1";
    switch (nStopBits) {
    case STOPBITS_15:
        stop = "1.5";
        break;
    case STOPBITS_20:
        stop = "2";
        break;
    }
    char parity = 'N';
    switch (nParity) {
    case PARITY_ODD:
        parity = 'O';
        break;
    case PARITY_EVEN:
        parity = 'E';
        break;
    }
    std::string text = "baud=";
    text += baud;
    text += " data=";
    text += data;
    text += " stop=";
    text += stop;
    text += " parity=";
    text += parity;
    return text;
}

std::optional<CLineSettings> ParseDeviceControlString(const std::string& text) {
    CLineSettings settings;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        const auto eq = item.find('=');
        if (eq == std::string::npos || eq + 1 == item.size())
            return std::nullopt;
        const std::string_view key(item.data(), eq);
        const std::string_view value(item.data() + eq + 1, item.size() - eq - 1);
        if (key == "baud") {
            const auto rate = ParseSpeed(value);
            if (!rate)
                return std::nullopt;
            settings.nBaudRate = *rate;
        } else if (key == "data") {
            if (value != "7" && value != "8")
                return std::nullopt;
            settings.nDataBits = value[0] - '0';
        } else if (key == "stop") {
            if (value == "1")
                settings.stopBits = CLineSettings::one;
            else if (value == "1.5")
                settings.stopBits = CLineSettings::onePointFive;
            else if (value == "2")
                settings.stopBits = CLineSettings::two;
            else
                return std::nullopt;
        } else if (key == "parity") {
            if (value.size() != 1)
                return std::nullopt;
            switch (value[0]) {
            case 'N':
            case 'n':
                settings.cParity = 'N';
                break;
            case 'O':
            case 'o':
                settings.cParity = 'O';
                break;
            case 'E':
            case 'e':
                settings.cParity = 'E';
                break;
            default:
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    return settings;
}

termios BuildTermios(const termios& current, const CLineSettings& settings, bool bXonXoff) {
    termios t = current;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CRTSCTS;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    const CSpeed* speed = FindSpeedByRate(settings.nBaudRate);
    const speed_t code = speed ? speed->code : B9600;
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
