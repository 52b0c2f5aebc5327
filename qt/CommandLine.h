// SPDX-License-Identifier: GPL-3.0-or-later
// The window program's command line: relmuth [FILE] [--port PORT] [--baud N].
#pragma once

#include <QStringList>

#include <optional>
#include <string>

#include "qt/RelmuthView.h"

struct CCommandLineInfo {
    std::string strFileName;        // a tape file to open at start; empty for a new tape
    std::optional<CStartPort> port; // --port: opened at start instead of asking
};

enum class CCommandLineAction { run, help, version, usageError };

// Reads the arguments (the program's name first, Qt's own options already
// taken out). On a usage error, strError says what is wrong.
CCommandLineAction ParseCommandLine(const QStringList& args, CCommandLineInfo& info,
                                    QString& strError);

// Whether --help or --version is asked for: they are answered before
// anything needs a display.
CCommandLineAction FindInfoRequest(int argc, char** argv);

extern const char* const kRelmuthHelp;
