// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/CommSettings.h"

#include <array>

namespace {

struct CSpeedEntry {
    int nRate;
    unsigned nFlag;
};

// The dialog's speed list, in list order.
constexpr std::array<CSpeedEntry, kBaudListSize> kSpeedList{{
    {1200, BAUD_1200},
    {2400, BAUD_2400},
    {4800, BAUD_4800},
    {9600, BAUD_9600},
    {19200, BAUD_19200},
}};

} // namespace

int BaudRateFromIndex(int nBaudIndex) {
    if (nBaudIndex < 0 || nBaudIndex >= kBaudListSize)
        return 0;
    return kSpeedList[static_cast<std::size_t>(nBaudIndex)].nRate;
}

unsigned BaudFlagFromIndex(int nBaudIndex) {
    if (nBaudIndex < 0 || nBaudIndex >= static_cast<int>(kSpeedList.size()))
        return BAUD_9600;
    return kSpeedList[static_cast<std::size_t>(nBaudIndex)].nFlag;
}

CCommOpenArgs CommOpenArgsFromDialog(int nPortIndex, int nBaudIndex) {
    CCommOpenArgs args;
    args.nPort = nPortIndex + 1;
    args.nBaud = BaudFlagFromIndex(nBaudIndex);
    return args;
}

CLineSettings ProgramLineSettings(unsigned nBaudFlag) {
    return CLineSettings{LineSettingsFromFlags(nBaudFlag, 0, 0, 0).nBaudRate, 7, CLineSettings::one,
                         'N'};
}

unsigned BaudFlagFromRate(int nRate) {
    for (const CSpeedEntry& e : kSpeedList)
        if (e.nRate == nRate)
            return e.nFlag;
    return 0;
}
