// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/CommandLine.h"

#include <QCommandLineParser>
#include <QFile>

#include <cstring>

#include "serial/CommSettings.h"

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
    QCommandLineParser parser;
    const QCommandLineOption portOption(QStringLiteral("port"), {}, QStringLiteral("PORT"));
    const QCommandLineOption baudOption(QStringLiteral("baud"), {}, QStringLiteral("N"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOptions({portOption, baudOption, helpOption, versionOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), {});
    if (!parser.parse(args)) {
        strError = parser.errorText();
        return CCommandLineAction::usageError;
    }
    if (parser.isSet(helpOption))
        return CCommandLineAction::help;
    if (parser.isSet(versionOption))
        return CCommandLineAction::version;

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        strError = QStringLiteral("only one tape file can be opened");
        return CCommandLineAction::usageError;
    }
    info = {};
    if (!files.isEmpty())
        info.strFileName = QFile::encodeName(files.constFirst()).toStdString();

    unsigned nBaudFlag = BaudFlagFromRate(9600);
    if (parser.isSet(baudOption)) {
        bool bNumber = false;
        const int nRate = parser.value(baudOption).toInt(&bNumber);
        nBaudFlag = bNumber ? BaudFlagFromRate(nRate) : 0;
        if (nBaudFlag == 0) {
            strError = QStringLiteral("the speed must be 1200, 2400, 4800, 9600 or 19200");
            return CCommandLineAction::usageError;
        }
        if (!parser.isSet(portOption)) {
            strError = QStringLiteral("--baud is the speed for --port");
            return CCommandLineAction::usageError;
        }
    }
    if (parser.isSet(portOption)) {
        const QString port = parser.value(portOption);
        if (port.isEmpty()) {
            strError = QStringLiteral("--port needs a port name");
            return CCommandLineAction::usageError;
        }
        info.port = CStartPort{port.toLocal8Bit().toStdString(), nBaudFlag};
    }
    return CCommandLineAction::run;
}
