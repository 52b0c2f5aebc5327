// SPDX-License-Identifier: GPL-3.0-or-later
// Raw cassette images (.CMT, .CAS): the bytes of the blocks back to back,
// with nothing between them. Reading finds the block boundaries again by
// looking for the headers of BASIC programs and machine-code files:
//
//   D3 x10, name[6], body, 10-12 zero bytes           BASIC program
//   "$$$", name[6] [, ':' file]                        named machine code
//   ':' or 'n', 3 bytes, (':' len bytes[len] sum)*     machine code
//
// Every byte of the image ends up in exactly one non-empty block, in order;
// all blocks read are of 600 baud.
#pragma once

#include <span>
#include <vector>

#include "tape/Archive.h"
#include "tape/TapeBlock.h"

// Appends the blocks found in the image to blocks.
void ReadRaw(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks);

void WriteRaw(const std::vector<CTapeBlock>& blocks, CByteSink& sink);
