// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/CommandLine.h"

#include <QFile>

#include <cstring>
#include <string>
#include <vector>

const char* const kRelmuthHelp =
    "Usage: relmuth [FILE] [--port PORT] [--baud N]\n"
    "Receives PC-8801 cassette blocks over RS-232C into a tape you can edit and\n"
    "save as a tape image (.kxm, .cmt, .cas).\n"
    "\n"
    "  FILE          a tape file to open at start\n"
    "  --port PORT   open this serial port at start instead of asking for one:\n"
    "                COMn (that is /dev/ttyS(n-1)) or a device path such as\n"
    "                /dev/ttyUSB0, /dev/serial/by-id/... or a pseudo-terminal;\n"
    "                when it cannot be opened, the settings dialog asks as usual\n"
    "  --baud N      the speed for --port: 1200, 2400, 4800, 9600 (the default)\n"
    "                or 19200; always 7 data bits, no parity, 1 stop bit, XON/XOFF\n"
    "  --help        this text\n"
    "  --version     the program's version\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are understood as well.\n";

CCommandLineAction FindInfoRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return CCommandLineAction::help;
        if (std::strcmp(argv[i], "--version") == 0)
            return CCommandLineAction::version;
    }
    return CCommandLineAction::run;
}

CCommandLineAction ParseCommandLine(const QStringList& args, CCommandLineInfo& info,
                                    QString& strError) {
    // File names as the file system spells them; a port name as the
    // locale does.
    std::vector<std::string> rest;
    for (qsizetype i = 1; i < args.size(); ++i)
        rest.push_back(QFile::encodeName(args.at(i)).toStdString());
    std::string error;
    const CCommandLineAction action = ParseCommandLine(rest, info, error);
    strError = QString::fromStdString(error);
    return action;
}
