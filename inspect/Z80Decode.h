// SPDX-License-Identifier: GPL-3.0-or-later
// One Z80 instruction read into its mnemonic: libz80ex's disassembler where
// the build has it (Z80Decode.cpp), else each byte as data (Z80DecodeBytes.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace inspect {

// The instruction at code[at], the code placed at `address`: its mnemonic
// into `mnemonic` and its length in bytes. Bytes past the end read as 0.
std::size_t DecodeZ80(std::span<const std::uint8_t> code, unsigned address, std::size_t at,
                      char* mnemonic, std::size_t nSize);

} // namespace inspect
