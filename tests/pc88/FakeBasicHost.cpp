// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeBasicHost.h"

#include <cstdio>
#include <stdexcept>

namespace pc88_test {
namespace {

// Grebe's USR entries and the routine's result byte.
constexpr std::uint16_t kRead = 0xB000;
constexpr std::uint16_t kDump = 0xB006;
constexpr std::uint16_t kSend = 0xB009;
constexpr std::uint16_t kBeeps = 0xB00C;
constexpr std::uint16_t kResultCode = 0xB00F;
constexpr std::size_t kLineBytes = 16;

} // namespace

std::int16_t CFakeBasicHost::CallUsr(std::uint16_t entry, std::int16_t argument) {
    const std::size_t offset = static_cast<std::uint16_t>(argument);
    std::string line;
    unsigned sum = 0;
    for (std::size_t k = offset; k < offset + kLineBytes && k < block.size(); ++k) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", block[k]);
        line += hex;
        sum += block[k];
    }
    switch (entry) {
    case kRead:
        ram[kResultCode] = resultCode;
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(block.size()));
    case kDump:
        screen += "DUMP " + line + "\r\n";
        return argument;
    case kSend:
        comOut += line + "\r\n";
        return static_cast<std::int16_t>(sum % 256);
    case kBeeps:
        routineBeeps += argument;
        return argument;
    default:
        throw std::runtime_error("USR into no entry of the routine");
    }
}

} // namespace pc88_test
