// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape: the tape document, its formats and the receiver without a
// window, for scripts, conversions and captures.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "res/Version.h"
#include "tools/relmuth-tape/Commands.h"

namespace {

struct Command {
    std::string_view name;
    int (*run)(const Args&);
};

// One row per subcommand.
constexpr Command kCommands[] = {
    {"list", CmdList},       {"convert", CmdConvert}, {"text", CmdText},
    {"import", CmdImport},   {"loader", CmdLoader},   {"send-loader", CmdSendLoader},
    {"receive", CmdReceive},
};

constexpr const char* kHelp =
    "Usage: relmuth-tape COMMAND ARGS...\n"
    "PC-8801 cassette tape images (.kxm, .cmt, .cas) without a window.\n"
    "\n"
    "  list FILE              one line per block: INDEX BAUD BYTES TYPE NAME (tabs)\n"
    "  convert IN OUT         read IN and write OUT; the format follows each name:\n"
    "                         .cmt or .cas is a raw image, anything else KXM\n"
    "  text FILE [INDEX]      the transfer text of one block, or of every block\n"
    "  import TEXTFILE OUT    feed transfer text (- for standard input) through the\n"
    "                         receiver as if it came from the serial port; save the\n"
    "                         blocks that complete as OUT\n"
    "  loader                 the loader text (Grebe) exactly as it is sent\n"
    "  send-loader PORT [--baud N]\n"
    "                         send the loader to the PC-8801: PORT is COMn or a\n"
    "                         device path, N 1200 2400 4800 9600 (default) 19200;\n"
    "                         7 data bits, no parity, 1 stop bit, XON/XOFF\n"
    "  receive PORT OUT [--baud N] [--count K] [--send-loader]\n"
    "                         receive blocks from the PC-8801 (PORT and N as for\n"
    "                         send-loader) and add each to OUT, which is saved\n"
    "                         after every block and made if missing; one list\n"
    "                         line per block on standard output. Ends after K\n"
    "                         blocks or on SIGINT or SIGTERM (status 0), or\n"
    "                         when the line is lost (status 1). --send-loader\n"
    "                         first sends the loader on the same open port\n"
    "                         (progress on standard error), receiving meanwhile\n"
    "  --help                 this text\n"
    "  --version              the program's version\n"
    "\n"
    "Messages go to standard error. Exit status: 0 done, 1 a file could not be\n"
    "read or written (OUT is then left as it was), 2 wrong arguments.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kHelp, stderr);
        return kExitUsage;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h") {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (name == "--version") {
        std::printf("relmuth-tape (%s) %s\n%s\n", res::kAppName, res::kVersionDotted,
                    res::kLicenseLine);
        return kExitOk;
    }
    const Args args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (command.name == name)
            return command.run(args);
    }
    std::fprintf(stderr, "relmuth-tape: unknown command '%s'\nTry 'relmuth-tape --help'.\n",
                 argv[1]);
    return kExitUsage;
}
