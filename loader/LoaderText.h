// SPDX-License-Identifier: GPL-3.0-or-later
// The loader text: Grebe, the N88-BASIC program with its Z80 routine in DATA
// lines, generated at build time from loader/Grebe.bas.in
// and loader/routine.asm. It stands for the Windows program's resource
// "TEXT" 130.
#pragma once

#include <cstdint>
#include <span>

// The whole stored loader text: 7-bit ASCII, CR LF line ends, ending with
// "\r\nBEEP\r\n", without a terminating zero. The span stays valid for the
// life of the program.
std::span<const std::uint8_t> GetLoaderResource();
