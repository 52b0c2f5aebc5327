// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/DeviceControl.h"
#include "session/CommandLine.h"

namespace {

struct CParsed {
    CCommandLineAction action;
    CCommandLineInfo info;
    std::string strError;
};

CParsed Parse(std::vector<std::string> args) {
    CParsed parsed;
    parsed.info.strFileName = "left over";
    parsed.action = ParseCommandLine(args, parsed.info, parsed.strError);
    return parsed;
}

TEST(CommandLine, TakesAFileAndAPortWithItsSpeedInEitherSpelling) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        CCommandLineInfo info;
    } rows[] = {
        {"nothing", {}, {}},
        {"file", {"tape.kxm"}, {"tape.kxm", {}}},
        {"port at 9600", {"--port", "COM5"}, {"", CStartPort{"COM5", BAUD_9600}}},
        {"joined values",
         {"--port=/dev/ttyUSB0", "--baud=19200", "side a.kxm"},
         {"side a.kxm", CStartPort{"/dev/ttyUSB0", BAUD_19200}}},
        {"file last",
         {"--baud", "1200", "--port", "COM1", "t.cmt"},
         {"t.cmt", CStartPort{"COM1", BAUD_1200}}},
        {"standard input", {"-"}, {"-", {}}},
        {"names after --", {"--", "--port"}, {"--port", {}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const CParsed parsed = Parse(row.args);
        EXPECT_EQ(parsed.action, CCommandLineAction::run);
        EXPECT_EQ(parsed.info, row.info);
    }
}

TEST(CommandLine, HelpAndVersionWinOverEverythingBeforeThem) {
    EXPECT_EQ(Parse({"tape.kxm", "--help"}).action, CCommandLineAction::help);
    EXPECT_EQ(Parse({"-h"}).action, CCommandLineAction::help);
    EXPECT_EQ(Parse({"--version", "a", "b"}).action, CCommandLineAction::version);
    // After "--" they are file names.
    EXPECT_EQ(Parse({"--", "--help"}).info.strFileName, "--help");
}

TEST(CommandLine, RefusesWhatItCannotUseAndSaysWhy) {
    const struct {
        std::vector<std::string> args;
        std::string strError;
    } rows[] = {
        {{"a.kxm", "b.kxm"}, "only one tape file can be opened"},
        {{"--baud", "9600"}, "--baud is the speed for --port"},
        {{"--port", "COM1", "--baud", "300"}, "the speed must be 1200, 2400, 4800, 9600 or 19200"},
        {{"--port", "COM1", "--baud=96OO"}, "the speed must be 1200, 2400, 4800, 9600 or 19200"},
        {{"--port="}, "--port needs a port name"},
        {{"--port"}, "Missing value after '--port'."},
        {{"--speed", "9600"}, "Unknown option '--speed'."},
        {{"--portx=COM1"}, "Unknown option '--portx=COM1'."},
        {{"-p", "COM1"}, "Unknown option '-p'."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.strError);
        const CParsed parsed = Parse(row.args);
        EXPECT_EQ(parsed.action, CCommandLineAction::usageError);
        EXPECT_EQ(parsed.strError, row.strError);
    }
}

} // namespace
