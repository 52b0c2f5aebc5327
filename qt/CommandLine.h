// SPDX-License-Identifier: GPL-3.0-or-later
// The window program's command line: relmuth [FILE] [--port PORT] [--baud N],
// read by the parser both window programs share (session/CommandLine.h).
#pragma once

#include <QStringList>

#include "session/CommandLine.h"

// Reads the arguments (the program's name first, Qt's own options already
// taken out). On a usage error, strError says what is wrong.
CCommandLineAction ParseCommandLine(const QStringList& args, CCommandLineInfo& info,
                                    QString& strError);

// Whether --help or --version is asked for: they are answered before
// anything needs a display.
CCommandLineAction FindInfoRequest(int argc, char** argv);

extern const char* const kRelmuthHelp;
