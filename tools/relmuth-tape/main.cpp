// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape: the tape document, its formats and the receiver without a
// window, for scripts, conversions and captures.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "res/Version.h"
#include "tools/relmuth-tape/CliHost.h"
#include "tools/relmuth-tape/Commands.h"
#include "tools/relmuth-tape/Platform.h"

namespace {

struct Command {
    std::string_view name;
    int (*run)(const Args&);
    const char* usage; // the arguments after the command's name
    const char* help;  // what it does, each line indented
};

// One row per subcommand.
constexpr Command kCommands[] = {
    {"list", CmdList, "FILE [--quality] [RECORDING OPTIONS]",
     "  one line per block: INDEX BAUD BYTES TYPE NAME (tabs); --quality adds\n"
     "  QUALITY CHECK: how clearly a recording's decoder read the block (the mean\n"
     "  of its bytes' confidence, - for a tape image) and whether the checks its\n"
     "  data carries hold (machine-code sums, a BASIC program's links and end)\n"},
    {"convert", CmdConvert, "IN OUT [RECORDING OPTIONS]",
     "  read IN and write OUT; the format follows each name's extension, in any\n"
     "  letter case: .t88 a T88 image, .cmt or .cas a raw image, .wav .flac .ogg\n"
     "  .aif .aiff .mp3 a cassette recording (decoded when read; only .wav is\n"
     "  written, as 44.1 kHz 16-bit mono that a PC-8801 loads), anything else KXM.\n"
     "  What OUT's format cannot keep (the speeds in a raw image, damage marks\n"
     "  outside KXM) is said on standard error; OUT is written all the same\n"},
    {"merge", CmdMerge, "TAKE1 TAKE2 [TAKE3...] OUT [RECORDING OPTIONS]",
     "  merge takes of one tape (recordings of it, or images made from them) into\n"
     "  OUT: the blocks and bytes of the takes are lined up, each byte decided by\n"
     "  the takes that read it cleanly (by majority where they differ). One list\n"
     "  line per block on standard output; on standard error the takes each block\n"
     "  came from and the bytes mended, then the bytes no take read cleanly (kept\n"
     "  marked, status 3)\n"},
    {"text", CmdText, "FILE [INDEX] [RECORDING OPTIONS]",
     "  the transfer text of one block, or of every block\n"},
    {"show", CmdShow, "FILE INDEX [--hex|--basic|--asm] [RECORDING OPTIONS]",
     "  what block INDEX holds: a BASIC program as LIST shows it, machine code\n"
     "  disassembled at its load address, anything else as dump lines (as the\n"
     "  loader dumps on the PC-8801); --hex, --basic and --asm choose the view.\n"
     "  Status 1 for a block that is missing or not of the view's kind, 3 when\n"
     "  the program or a record is damaged (what could be read is shown, the\n"
     "  damage on standard error)\n"},
    {"basic", CmdBasic, "PROG.BAS OUT [--name NAME] [--baud 600|1200]",
     "  tokenise a BASIC listing (LIST's form, line numbers first, CR LF or LF,\n"
     "  ASCII and half-width katakana in UTF-8 or Shift-JIS) into a BASIC block\n"
     "  as the PC-8801 saves it, and add it to OUT (made if missing). NAME is the\n"
     "  cassette name, at most six characters (default: PROG in upper case); the\n"
     "  speed is 1200 baud unless given. A line that cannot be tokenised is\n"
     "  refused with its number and OUT is left as it was\n"},
    {"import", CmdImport, "TEXTFILE OUT",
     "  feed transfer text (- for standard input) through the receiver as if it\n"
     "  came from the serial port; save the blocks that complete as OUT. When\n"
     "  the text ends inside a line or a transfer, says so and ends with status 3\n"},
    {"loader", CmdLoader, "", "  the loader text (Grebe) exactly as it is sent\n"},
    {"send-loader", CmdSendLoader, "PORT [--baud N]",
     "  send the loader to the PC-8801: PORT is COMn or a device path, N 1200\n"
     "  2400 4800 9600 (default) 19200; 7 data bits, no parity, 1 stop bit,\n"
     "  XON/XOFF. Ends with status 1 when the line is lost\n"},
    {"receive", CmdReceive, "PORT OUT [--baud N] [--count K] [--send-loader]",
     "  receive blocks from the PC-8801 (PORT and N as for send-loader) and add\n"
     "  each to OUT, which is saved after every block and made if missing; one\n"
     "  list line per block on standard output. Ends after K blocks or on SIGINT\n"
     "  or SIGTERM (status 0; the bytes already received are handled first), or\n"
     "  when the line is lost (status 1). --send-loader first sends the loader on\n"
     "  the port just opened (progress on standard error), receiving meanwhile\n"},
};

constexpr const char* kRecordingOptions =
    "RECORDING OPTIONS, when FILE or IN is a recording:\n"
    "  --baud 600|1200           read every block at this speed (found anew for\n"
    "                            each block when not given)\n"
    "  --channel left|right|mix  the channel to read (the better one when not given)\n\n";

constexpr const char* kFiles =
    "A FILE, IN or OUT of - is standard input or output, read or written as a KXM\n"
    "image; pipes, FIFOs, terminals and devices are read and written as they are.\n"
    "After --, every argument is a name, also one that begins with -.\n";

constexpr const char* kStatus =
    "Messages go to standard error. Exit status: 0 done, 1 a file could not be\n"
    "read or written (OUT is then left as it was), 2 wrong arguments, 3 OUT was\n"
    "written but the input was not taken whole: a transfer text ended inside a\n"
    "transfer, or a recording held bytes that did not decode cleanly (each listed\n"
    "on standard error; the blocks keep their best reading).\n";

std::string UsageLine(const Command& command) {
    std::string line = "relmuth-tape " + std::string(command.name);
    if (command.usage[0] != '\0')
        line += std::string(" ") + command.usage;
    return line;
}

std::string Help() {
    std::string text = "Usage: relmuth-tape COMMAND ARGS...\n"
                       "PC-8801 cassette tapes as images (.kxm, .t88, .cmt, .cas) and recordings\n"
                       "(.wav .flac .ogg .aif .aiff .mp3) without a window.\n\n";
    for (const Command& command : kCommands)
        text += UsageLine(command) + "\n" + command.help;
    text += "relmuth-tape COMMAND --help\n  that command's usage\n"
            "relmuth-tape --version\n  the program's version\n\n";
    return text + kRecordingOptions + kFiles + kStatus;
}

std::string CommandHelp(const Command& command) {
    return "Usage: " + UsageLine(command) + "\n" + command.help + "\n" + kFiles + kStatus;
}

int Run(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        WriteStream(stderr, Help());
        return kExitUsage;
    }
    const std::string_view name = arguments[0];
    if (name == "--help" || name == "-h")
        return WriteOut(Help()) ? kExitOk : kExitFailed;
    if (name == "--version") {
        const std::string version = "relmuth-tape (" + std::string(res::kAppName) + ") " +
                                    res::kVersionDotted + "\n" + res::kLicenseLine + "\n";
        return WriteOut(version) ? kExitOk : kExitFailed;
    }
    const Args args(arguments.begin() + 1, arguments.end());
    for (const Command& command : kCommands) {
        if (command.name != name)
            continue;
        for (std::size_t i = 0; i < OptionsEnd(args); ++i) {
            if (args[i] == "--help" || args[i] == "-h")
                return WriteOut(CommandHelp(command)) ? kExitOk : kExitFailed;
        }
        return command.run(args);
    }
    return UsageError("", "unknown command '" + std::string(name) + "'");
}

} // namespace

int main(int argc, char** argv) {
    SetUpStandardStreams();
    return FinishOutput(Run(ProgramArguments(argc, argv)));
}
