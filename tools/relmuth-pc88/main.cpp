// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-pc88: a virtual NEC PC-8801 under N88-BASIC with a cassette deck,
// its RS-232C port on a pseudo-terminal, so that Relmuth can be tried and
// tested without the hardware.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "pc88/N88Basic.h"
#include "pc88/Pc8801.h"
#include "res/Version.h"
#include "serial/PortNames.h"
#include "tape/Errors.h"
#include "tools/relmuth-pc88/Host.h"
#include "tools/relmuth-pc88/Typists.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The status of an end by signal n, as the shell reports one.
constexpr int kExitSignalBase = 128;

// The largest key script taken: far more than any session types, and a
// bound for a name that is no script (a device that never ends).
constexpr std::size_t kMaxKeyScriptBytes = 1024 * 1024;

// How long the end waits for the far end to read what was sent, from the
// last byte it read.
constexpr std::chrono::seconds kFarEndPatience{10};

constexpr const char* kHelp =
    "Usage: relmuth-pc88 [--tape FILE] [--tape-baud 600|1200] [--line-baud N]\n"
    "                    [--link PATH] [--keys SCRIPT] [--auto] [--fast]\n"
    "A virtual NEC PC-8801 under N88-BASIC, with a cassette deck, whose RS-232C\n"
    "port is a pseudo-terminal: Relmuth on the other end can send it Grebe and\n"
    "receive the tape's blocks, with no PC-8801 at hand.\n"
    "\n"
    "  --tape FILE         the tape in the deck: a KXM or T88 image, a raw image\n"
    "                      (.cmt, .cas) or a cassette recording (.wav .flac ...)\n"
    "  --tape-baud N       the speed of a raw image's blocks: 600 (default) or 1200\n"
    "  --line-baud N       the RS-232C speed: 1200 2400 4800 9600 (default) 19200\n"
    "  --link PATH         a symbolic link to the port, removed on exit (default:\n"
    "                      the per-user place the window program lists)\n"
    "  --keys SCRIPT       a file of keys typed for the user: characters as they\n"
    "                      stand, <cr> Return, <esc> ESC, <wait TEXT> holds the\n"
    "                      next key until TEXT has been printed since the key\n"
    "                      before it; line ends in the file are not keys\n"
    "  --auto              a virtual user: takes in Grebe with LOAD \"COM:N71XN\",\n"
    "                      runs it, reads and transfers every block of the tape,\n"
    "                      quits Grebe and ends once the far end has read it all\n"
    "  --fast              as fast as the host allows (the line still waits for\n"
    "                      XON); the machine runs in real time otherwise\n"
    "  --help              this text\n"
    "  --version           the program's version\n"
    "\n"
    "The first line on standard error is the port's path. The screen goes to\n"
    "standard output, redrawn in place on a terminal, else as plain lines. Keys\n"
    "typed go to the PC-8801; Ctrl+C quits.\n"
    "Exit status: 0 at END or quit, 1 on a BASIC error or a tape that cannot be\n"
    "read, 2 on wrong arguments, 128 + N when signal N ended the machine.\n";

struct COptions {
    std::string tape;
    int nTapeBaud = 600;
    int nLineBaud = 9600;
    std::string link;
    std::string keys;
    bool bAuto = false;
    bool bFast = false;
};

bool ParseNumber(const std::string& s, int& value) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

int UsageError(const std::string& text) {
    std::fprintf(stderr, "relmuth-pc88: %s\nTry 'relmuth-pc88 --help'.\n", text.c_str());
    return kExitUsage;
}

// Fills options; returns an exit status when the program ends here.
std::optional<int> ParseArguments(int argc, char** argv, COptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            // The end of the options; the program takes no other arguments.
            if (i + 1 < argc)
                return UsageError("unexpected argument '" + std::string(argv[i + 1]) + "'");
            break;
        }
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return kExitOk;
        } else if (arg == "--version") {
            std::printf("relmuth-pc88 (%s) %s\n%s\n", res::kAppName, res::kVersionDotted,
                        res::kLicenseLine);
            return kExitOk;
        } else if (arg == "--tape") {
            if (!value(options.tape))
                return UsageError("--tape needs a file");
        } else if (arg == "--tape-baud") {
            if (!value(text) || !ParseNumber(text, options.nTapeBaud) ||
                (options.nTapeBaud != 600 && options.nTapeBaud != 1200))
                return UsageError("--tape-baud must be 600 or 1200");
        } else if (arg == "--line-baud") {
            const int n = options.nLineBaud;
            if (!value(text) || !ParseNumber(text, options.nLineBaud) ||
                (options.nLineBaud != 1200 && options.nLineBaud != 2400 &&
                 options.nLineBaud != 4800 && options.nLineBaud != 9600 &&
                 options.nLineBaud != 19200)) {
                options.nLineBaud = n;
                return UsageError("--line-baud must be 1200, 2400, 4800, 9600 or 19200");
            }
        } else if (arg == "--link") {
            if (!value(options.link) || options.link.empty())
                return UsageError("--link needs a path");
        } else if (arg == "--keys") {
            if (!value(options.keys))
                return UsageError("--keys needs a script file");
        } else if (arg == "--auto") {
            options.bAuto = true;
        } else if (arg == "--fast") {
            options.bFast = true;
        } else {
            return UsageError("unknown argument '" + std::string(arg) + "'");
        }
    }
    if (options.bAuto && !options.keys.empty())
        return UsageError("--auto and --keys both type: give one of them");
    return std::nullopt;
}

int Run(const COptions& options) {
    pc88::CPc8801 machine;
    machine.SetRs232Baud(options.nLineBaud);
    if (!options.tape.empty()) {
        try {
            pc88::LoadTapeFile(options.tape, options.nTapeBaud, machine.Deck());
        } catch (const CRelmuthException& e) {
            std::fprintf(stderr, "relmuth-pc88: %s: %s\n", options.tape.c_str(),
                         e.GetUserText().c_str());
            return kExitFailed;
        }
    }

    CKeyScript script;
    if (!options.keys.empty()) {
        std::ifstream in(options.keys, std::ios::binary);
        if (!in)
            return UsageError("cannot read the key script " + options.keys);
        std::string text(kMaxKeyScriptBytes + 1, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        if (in.bad())
            return UsageError("cannot read the key script " + options.keys);
        text.resize(static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxKeyScriptBytes)
            return UsageError("the key script " + options.keys + " is larger than " +
                              std::to_string(kMaxKeyScriptBytes / 1024) + " KiB");
        const std::string error = script.Parse(text);
        if (!error.empty())
            return UsageError(options.keys + ": " + error);
    }

    CStopSignals signals;
    std::optional<CPtyLine> line;
    try {
        line.emplace();
        std::fprintf(stderr, "%s\n", line->Path().c_str());
        std::fflush(stderr);
        line->MakeLink(options.link.empty() ? DefaultPc88LinkPath() : options.link);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "relmuth-pc88: %s\n", e.what());
        return kExitFailed;
    }

    CRawTerminal terminal;
    CDisplay display(machine.Text(), ::isatty(STDOUT_FILENO) != 0);
    CTerminalKeys terminalKeys;
    CAutoUser autoUser(machine.Deck());
    CChainedKeys scriptThenTerminal(script, terminalKeys);
    CHostOutside::Options hostOptions;
    hostOptions.bFast = options.bFast;
    hostOptions.bKeysFromInput = !options.bAuto;
    hostOptions.bInputIsTerminal = terminal.IsTerminal();
    CHostOutside outside(*line, signals, display, terminalKeys, hostOptions);
    machine.SetOutside(&outside);
    if (options.bAuto)
        machine.SetKeySource(&autoUser);
    else
        machine.SetKeySource(&scriptThenTerminal);

    int status = kExitOk;
    std::string error;
    try {
        pc88::CN88Basic basic(machine);
        const pc88::SBasicOutcome outcome = basic.RunConsole();
        if (outcome.kind == pc88::SBasicOutcome::EKind::Error) {
            error = outcome.message;
            status = kExitFailed;
        }
    } catch (const pc88::CHostStop&) {
        // The keys ran out, or the user stopped the machine: the session is over.
    } catch (const std::exception& e) {
        error = e.what();
        status = kExitFailed;
    }
    display.Finish();
    if (!error.empty())
        std::fprintf(stderr, "relmuth-pc88: %s\n", error.c_str());

    if (status == kExitOk && !outside.Interrupted()) {
        try {
            const int unread = outside.WaitForFarEnd(kFarEndPatience);
            if (unread > 0) {
                std::fprintf(stderr, "relmuth-pc88: %d bytes sent were never read at %s\n", unread,
                             line->Path().c_str());
                status = kExitFailed;
            }
        } catch (const pc88::CHostStop&) {
        }
    }
    // The terminal and the link go with the objects that hold them, before
    // the status reaches the caller.
    if (signals.Signal() != 0)
        return kExitSignalBase + signals.Signal();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    COptions options;
    if (const auto status = ParseArguments(argc, argv, options))
        return *status;
    return Run(options);
}
