// SPDX-License-Identifier: GPL-3.0-or-later
// The PC-8801's cassette signal in numbers, shared by the decoder and the
// writer. CassetteDecoder.h says where each fact comes from.
#pragma once

#include "tape/TapeBlock.h"

// The two tones. A 0 bit (space) is made of whole cycles of the low tone, a
// 1 bit (mark) of whole cycles of the high tone; the leader and the idle
// line between bytes are mark.
inline constexpr double kSpaceHz = 1200.0;
inline constexpr double kMarkHz = 2400.0;

// A byte on tape: a start bit (0), eight data bits lowest first, two stop
// bits (1): 11 bit periods.
inline constexpr int kDataBits = 8;
inline constexpr int kStopBits = 2;
inline constexpr int kBitsPerByte = 1 + kDataBits + kStopBits;

// Seconds of one bit period at nBaud (1200 or 600).
inline constexpr double BitSeconds(int nBaud) {
    return 1.0 / (nBaud == kBaudSlow ? kBaudSlow : kBaudFast);
}
// Cycles of each tone in one bit: 1 and 2 at 1200 baud, 2 and 4 at 600.
inline constexpr int SpaceCyclesPerBit(int nBaud) {
    return static_cast<int>(kSpaceHz * BitSeconds(nBaud) + 0.5);
}
inline constexpr int MarkCyclesPerBit(int nBaud) {
    return static_cast<int>(kMarkHz * BitSeconds(nBaud) + 0.5);
}
