// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder of a build without libz80ex (the Windows build: Debian's
// libz80ex is built for Linux only): every byte is shown as data, in the
// form the listing gives a byte it cannot place in an instruction.
#include <cstdio>

#include "inspect/Z80Decode.h"

namespace inspect {

std::size_t DecodeZ80(std::span<const std::uint8_t> code, unsigned, std::size_t at, char* mnemonic,
                      std::size_t nSize) {
    std::snprintf(mnemonic, nSize, "DB #%02X", at < code.size() ? code[at] : 0);
    return 1;
}

} // namespace inspect
