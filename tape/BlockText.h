// SPDX-License-Identifier: GPL-3.0-or-later
// A block in the transfer text form, as the loader sends it and as Copy puts
// it on the clipboard:
//
//   CAS1 | CAS2        speed: 1200 | 600 baud
//   0003               byte count, upper-case hex, at least four digits
//   0102FF             data, two digits a byte, 16 bytes a line
//   02                 sum of the bytes modulo 256
//
// Every line ends with CR LF.
#pragma once

#include <string>

#include "tape/TapeBlock.h"

std::string GetBlockText(const CTapeBlock& block);
