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
};

// The speeds the port can be set to, with the two-digit abbreviations of the
// device-control syntax.
constexpr std::array<CSpeed, 7> kSpeeds{{
    {"30", 300},
    {"60", 600},
    {"12", 1200},
    {"24", 2400},
    {"48", 4800},
    {"96", 9600},
    {"19", 19200},
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
