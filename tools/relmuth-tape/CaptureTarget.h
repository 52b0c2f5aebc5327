// SPDX-License-Identifier: GPL-3.0-or-later
// What `receive` may capture into, judged before the PC-8801 is asked for
// anything, by the window program's rules: a cassette recording is the
// user's original and is never written over unasked; a recording the
// program cannot write (FLAC, OGG, AIFF, MP3) is no place for a capture; a
// tape file that could not be saved is refused before a block is lost to it.
#pragma once

#include <string>

// True when OUT may take the capture; otherwise why not is on standard
// error. bExists: whether a file of that name is there.
bool CheckCaptureTarget(const std::string& strOut, bool bExists);
