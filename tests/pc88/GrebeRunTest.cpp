// SPDX-License-Identifier: GPL-3.0-or-later
// The real loader text, taken in by LOAD "COM:N71XN" from the line and run
// from its first line, with a fake routine behind USR: what the screen and
// the line show must be exactly what Grebe is meant to show and send.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "FakeBasicHost.h"
#include "loader/LoaderText.h"
#include "loader/RoutineSymbols.h"
#include "pc88/N88Basic.h"

namespace pc88_test {
namespace {

using pc88::CN88Basic;
using pc88::SBasicOutcome;

const std::string kMenu = "Select Command(D:Dump, T:Transfer, R:Read, Q:Quit) ? ";
const std::string kBaud = "Select Baud Rate(1:1200, 2:600, 3:1200-Ex, 4:600-Ex) ? ";

std::string LoaderText() {
    const auto bytes = GetLoaderResource();
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t k = 0; k < n; ++k)
        bytes[k] = static_cast<std::uint8_t>(k * 7 + 3);
    return bytes;
}

// One line of the block in hexadecimal: 16 bytes from offset, or fewer at its end.
std::string HexLine(const std::vector<std::uint8_t>& block, std::size_t offset) {
    std::string line;
    for (std::size_t k = offset; k < offset + 16 && k < block.size(); ++k) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", block[k]);
        line += hex;
    }
    return line;
}

// The transfer text of a block as the receiving side expects it; with
// fewer data lines than the block has, the transfer ends with ABORT.
std::string TransferText(const std::vector<std::uint8_t>& block, char cas, std::size_t lines) {
    char text[32];
    std::snprintf(text, sizeof text, "\r\nCAS%c\r\n%04X\r\n", cas,
                  static_cast<unsigned>(block.size()));
    std::string transfer = text;
    for (std::size_t k = 0; k < lines * 16 && k < block.size(); k += 16)
        transfer += HexLine(block, k) + "\r\n";
    if (lines * 16 < block.size())
        return transfer + "ABORT\r\n";
    unsigned sum = 0;
    for (const std::uint8_t b : block)
        sum += b;
    std::snprintf(text, sizeof text, "%02X\r\n", sum % 256);
    return transfer + text;
}

class GrebeRun : public ::testing::Test {
  protected:
    GrebeRun() {
        host.comIn = LoaderText();
        host.Type("LOAD \"COM:N71XN\"\r");
        host.WaitFor("Ok");
        host.Type("RUN\r");
    }
    SBasicOutcome Run() { return basic.RunConsole(); }

    CFakeBasicHost host;
    CN88Basic basic{host};
};

TEST_F(GrebeRun, TransfersABlockOf40000BytesAndQuits) {
    host.block = Pattern(40000);
    host.WaitFor(kBaud);
    host.Type("1");
    host.WaitFor(kMenu);
    host.Type("T");
    host.WaitFor("Transfer Complete");
    host.WaitFor(kMenu);
    host.Type("Q");
    host.WaitFor("Sure(Y/N) ? ");
    host.Type("N");
    host.WaitFor(kMenu);
    host.Type("Q");
    host.WaitFor("Sure(Y/N) ? ");
    host.Type("Y");

    const SBasicOutcome outcome = Run();

    EXPECT_EQ(outcome.kind, SBasicOutcome::EKind::Ended) << outcome.message;
    EXPECT_EQ(host.screen, "Ok\r\n"
                           "LOAD \"COM:N71XN\"\r\n"
                           "Ok\r\n"
                           "RUN\r\n"
                           "Initializing...\r\n" +
                               kBaud + "1:1200\r\n" +
                               "Start Casette Read(ESC:Abort)\r\n"
                               "Finish Casette Read\r\n"
                               "Read 40000 Byte(s) Data\r\n" +
                               kMenu + "T:Transfer(ESC:Abort)\r\n" + "Transfer Complete\r\n" +
                               kMenu + "Q:Quit\r\n" + "Sure(Y/N) ? N\r\n" + kMenu + "Q:Quit\r\n" +
                               "Sure(Y/N) ? Y\r\n" + "Ok\r\n");
    EXPECT_EQ(host.comOut, TransferText(host.block, '1', 2500));
    // The line was opened for LOAD and for the transfer with Grebe's frame.
    EXPECT_EQ(host.comOpens, (std::vector<std::string>{"N71XN", "N71XN"}));
    EXPECT_EQ(host.comCloses, 2);
    // The loader's last line, BEEP, sounded once; the menu's beeps are the
    // routine's: two before the speed choice, three before each menu.
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(host.routineBeeps, 2 + 3 * 3);
    // The routine's bytes are in place from &HB000, and the machine's clock
    // moved on with the statements.
    const std::vector<std::uint8_t> placed(host.ram.begin() + 0xB000,
                                           host.ram.begin() + 0xB000 + sizeof routine::kImage);
    EXPECT_EQ(placed,
              std::vector<std::uint8_t>(std::begin(routine::kImage), std::end(routine::kImage)));
    EXPECT_GT(host.tstates, 0u);
}

TEST_F(GrebeRun, ExModeTimeOutDumpPagesEscAbortAndLowerCaseKeys) {
    host.block = Pattern(257);
    host.resultCode = 1; // time-out: the bytes read so far are kept
    host.WaitFor(kBaud);
    host.Type("x94"); // keys other than 1-4 are ignored
    host.WaitFor(kMenu);
    host.Type("d");
    host.WaitFor("Hit Return Key(ESC:Abort)");
    host.Type("a\r"); // only RETURN (or ESC) goes on
    host.WaitFor(kMenu);
    host.Type("t");
    host.Type(std::string(1, static_cast<char>(kEsc))); // ESC during the first data line
    host.WaitFor("Transfer Abort");
    host.WaitFor(kMenu);
    host.Type("q");
    host.WaitFor("Sure(Y/N) ? ");
    host.Type("y");

    const SBasicOutcome outcome = Run();

    EXPECT_EQ(outcome.kind, SBasicOutcome::EKind::Ended) << outcome.message;
    std::string dump;
    for (std::size_t offset = 0; offset < 256; offset += 16)
        dump += "DUMP " + HexLine(host.block, offset) + "\r\n";
    const std::string lastDump = "DUMP " + HexLine(host.block, 256);
    EXPECT_EQ(host.screen.substr(host.screen.find("Initializing")),
              "Initializing...\r\n" + kBaud + "4:600-Ex\r\n" +
                  "Start Casette Read(ESC:Abort)\r\n"
                  "Time Out\r\n"
                  "Read 257 Byte(s) Data\r\n" +
                  kMenu + "D:Dump\r\n" + dump + "Hit Return Key(ESC:Abort)\r\n" + lastDump +
                  "\r\n" + kMenu + "T:Transfer(ESC:Abort)\r\n" + "Transfer Abort\r\n" + kMenu +
                  "Q:Quit\r\n" + "Sure(Y/N) ? Y\r\n" + "Ok\r\n");
    EXPECT_EQ(host.comOut, TransferText(host.block, '2', 1));
}

TEST_F(GrebeRun, ListShowsTheLoadedProgramAsSent) {
    host.WaitFor(kBaud); // stop the session once the program runs
    EXPECT_THROW(Run(), pc88::CHostStop);
    const std::string text = LoaderText();
    EXPECT_EQ(basic.GetListing(), text.substr(0, text.size() - std::string("BEEP\r\n").size()));
}

// A faulty Grebe is refused where it fails, with N88-BASIC's message.
struct SBrokenCase {
    const char* name;
    std::string from;
    std::string to;
    std::string keys;
    std::size_t blockSize;
    std::string message;
};

class BrokenGrebe : public ::testing::TestWithParam<SBrokenCase> {};

TEST_P(BrokenGrebe, StopsWithTheMessageAndLine) {
    const SBrokenCase& c = GetParam();
    CFakeBasicHost host;
    host.block = Pattern(c.blockSize);
    host.comIn = LoaderText();
    const std::size_t at = host.comIn.find(c.from);
    ASSERT_NE(at, std::string::npos);
    host.comIn.replace(at, c.from.size(), c.to);
    host.Type("LOAD \"COM:N71XN\"\rRUN\r" + c.keys);
    CN88Basic basic(host);

    const SBasicOutcome outcome = basic.RunConsole();

    EXPECT_EQ(outcome.kind, SBasicOutcome::EKind::Error);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_NE(host.screen.find("\r\n" + c.message + "\r\nOk\r\n"), std::string::npos)
        << host.screen;
}

INSTANTIATE_TEST_SUITE_P(
    Grebe, BrokenGrebe,
    ::testing::Values(SBrokenCase{"MisspeltStatement", "1800 PRINT A$", "1800 PRNT A$", "1", 16,
                                  "Syntax error in 1800"},
                      SBrokenCase{"MissingLabel", "1950 *DUMP\r\n", "", "1D", 16,
                                  "Undefined line number in 1890"},
                      // Offsets from 32768 on must be folded to negative integers.
                      SBrokenCase{"OffsetNotFolded",
                                  "2230 IF ADR!>32767 THEN ADR=ADR!-65536! ELSE ADR=ADR!",
                                  "2230 ADR=ADR!", "1T", 40000, "Overflow in 2230"},
                      SBrokenCase{"PlacingPastTheTopOfMemory", "1070 ADR=&HB000", "1070 ADR=&H7FFF",
                                  "", 16, "Overflow in 1120"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pc88_test
