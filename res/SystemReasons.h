// SPDX-License-Identifier: GPL-3.0-or-later
// Why the system refused: the reasons a user meets most with files, ports
// and the link (no permission, busy, missing, removed, hung up, an
// input/output error, a full disk) as texts of our own; every other reason
// in the system's own words.
//
// The same reason has different numbers on each system and sometimes
// another meaning on a port than on a file: EIO from a pseudo-terminal is
// its far end closing, and Windows refuses a COM port that another program
// holds with ERROR_ACCESS_DENIED. So the place the number came from is part
// of the question.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "res/Strings.h"

namespace res {

enum class ReasonPlace {
    file,           // a tape file, a folder, standard input or output
    port,           // a serial device (opening it, or the line while open)
    pseudoTerminal, // the line of a pseudo-terminal (the virtual PC-8801's link)
};

// Our text for an errno value, if it is one of those we word ourselves.
std::optional<StringId> ErrnoReason(int nErrno, ReasonPlace place = ReasonPlace::file);

// Our text for a Win32 error code (GetLastError), if it is one of ours.
// Numbers rather than the names of <windows.h>, so that every build knows them.
std::optional<StringId> Win32Reason(unsigned long nCode, ReasonPlace place = ReasonPlace::file);

// The reason to show: ours, else the system's text (strerror).
std::string ErrnoReasonText(int nErrno, ReasonPlace place = ReasonPlace::file);
// The same for a Win32 code, with the system's text (FormatMessage) given.
std::string Win32ReasonText(unsigned long nCode, std::string_view systemText,
                            ReasonPlace place = ReasonPlace::file);

} // namespace res
