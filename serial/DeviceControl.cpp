// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/DeviceControl.h"

#include <array>
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

} // namespace

CLineSettings LineSettingsFromFlags(unsigned nBaud, unsigned nDataBits, unsigned nStopBits,
                                    unsigned nParity) {
    CLineSettings settings;
    switch (nBaud) {
    case BAUD_1200:
        settings.nBaudRate = 1200;
        break;
    case BAUD_2400:
        settings.nBaudRate = 2400;
        break;
    case BAUD_4800:
        settings.nBaudRate = 4800;
        break;
    case BAUD_19200:
        settings.nBaudRate = 19200;
        break;
    default:
        settings.nBaudRate = 9600;
        break;
    }
    settings.nDataBits = nDataBits == DATABITS_7 ? 7 : 8;
    switch (nStopBits) {
    case STOPBITS_15:
        settings.stopBits = CLineSettings::onePointFive;
        break;
    case STOPBITS_20:
        settings.stopBits = CLineSettings::two;
        break;
    default:
        settings.stopBits = CLineSettings::one;
        break;
    }
    switch (nParity) {
    case PARITY_ODD:
        settings.cParity = 'O';
        break;
    case PARITY_EVEN:
        settings.cParity = 'E';
        break;
    default:
        settings.cParity = 'N';
        break;
    }
    return settings;
}

bool IsSettable(const CLineSettings& settings) {
    const bool bStopBits = settings.stopBits == CLineSettings::one ||
                           settings.stopBits == CLineSettings::onePointFive ||
                           settings.stopBits == CLineSettings::two;
    return FindSpeedByRate(settings.nBaudRate) &&
           (settings.nDataBits == 7 || settings.nDataBits == 8) && bStopBits &&
           (settings.cParity == 'N' || settings.cParity == 'O' || settings.cParity == 'E');
}

std::string DeviceControlString(const CLineSettings& settings) {
    std::string text = "baud=";
    if (const CSpeed* speed = FindSpeedByRate(settings.nBaudRate))
        text += speed->abbreviation;
    else
        text += std::to_string(settings.nBaudRate);
    text += " data=";
    text += std::to_string(settings.nDataBits);
    text += " stop=";
    switch (settings.stopBits) {
    case CLineSettings::one:
        text += "1";
        break;
    case CLineSettings::onePointFive:
        text += "1.5";
        break;
    case CLineSettings::two:
        text += "2";
        break;
    default:
        text += "?";
        break;
    }
    text += " parity=";
    text += settings.cParity;
    return text;
}

std::string BuildDeviceControlString(unsigned nBaud, unsigned nDataBits, unsigned nStopBits,
                                     unsigned nParity) {
    return DeviceControlString(LineSettingsFromFlags(nBaud, nDataBits, nStopBits, nParity));
}
