// SPDX-License-Identifier: GPL-3.0-or-later
// The window programs' command line, the same on Linux and Windows:
//
//     relmuth [FILE] [--port PORT] [--baud N]
//
// An option's value follows it as the next argument or after "=" (--port=COM5);
// after "--" every argument is a file name, also one that begins with "-".
#pragma once

#include <optional>
#include <span>
#include <string>

// A port named on the command line: "COMn" or a device path, and the speed flag.
struct CStartPort {
    std::string strName;
    unsigned nBaudFlag = 0;

    friend bool operator==(const CStartPort&, const CStartPort&) = default;
};

struct CCommandLineInfo {
    std::string strFileName;        // a tape file to open at start; empty for a new tape
    std::optional<CStartPort> port; // --port: opened at start instead of asking

    friend bool operator==(const CCommandLineInfo&, const CCommandLineInfo&) = default;
};

enum class CCommandLineAction { run, help, version, usageError };

// Reads the arguments after the program's name. On a usage error, strError
// says what is wrong (English, as the tools say it).
CCommandLineAction ParseCommandLine(std::span<const std::string> args, CCommandLineInfo& info,
                                    std::string& strError);
