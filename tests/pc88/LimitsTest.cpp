// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter's limits, as a real machine's memory sets them: the line
// buffer, the stack FOR, GOSUB and expressions share, and the 16-bit
// lengths of the token store. A program from the far end that goes beyond
// them stops with N88-BASIC's error instead of taking the host's memory or
// stack.
#include <string>

#include <gtest/gtest.h>

#include "FakeBasicHost.h"
#include "pc88/N88Basic.h"

namespace pc88_test {
namespace {

using pc88::CN88Basic;

std::string Nested(std::size_t depth) {
    return "10 PRINT " + std::string(depth, '(') + "1" + std::string(depth, ')');
}

// The error of RUN after the lines, or "" when it ran through.
std::string RunError(CN88Basic& basic, const std::vector<std::string>& lines) {
    try {
        for (const std::string& line : lines)
            basic.EnterLine(line);
        basic.EnterLine("RUN");
    } catch (const pc88::CBasicError& error) {
        return error.what();
    }
    return "";
}

// A direct line that jumps into the program and runs off its end leaves no
// GOSUB or FOR behind for the next direct line to return into.
TEST(N88Limits, DirectGosubOrForForgottenWhenTheLineEnds) {
    CFakeBasicHost host;
    host.Type("10 PRINT \"SUB\"\rA=1:B=2:C=3:D=4:E=5:GOSUB 10\rRETURN\r"
              "FOR I=1 TO 3:GOTO 10\rNEXT\r");
    CN88Basic basic(host);
    EXPECT_THROW(basic.RunConsole(), pc88::CHostStop);
    EXPECT_EQ(host.screen, "Ok\r\n"
                           "10 PRINT \"SUB\"\r\n"
                           "A=1:B=2:C=3:D=4:E=5:GOSUB 10\r\nSUB\r\nOk\r\n"
                           "RETURN\r\nRETURN without GOSUB\r\nOk\r\n"
                           "FOR I=1 TO 3:GOTO 10\r\nSUB\r\nOk\r\n"
                           "NEXT\r\nNEXT without FOR\r\nOk\r\n");
}

// GOSUB and FOR nest as deep as BASIC's 512-byte stack holds them, with
// room left for the expression each level evaluates (12 bytes): 101
// GOSUBs of 5 bytes; 24 levels of a FOR (16 bytes) and a GOSUB.
TEST(N88Limits, EndlessGosubOrForNestingRunsOutOfMemory) {
    struct {
        const char* line;
        double levels;
    } const cases[] = {
        {"10 N=N+1:GOSUB 10", 101},
        {"10 N=N+1:FOR I=1 TO 2:GOSUB 10", 24},
    };
    for (const auto& c : cases) {
        CFakeBasicHost host;
        CN88Basic basic(host);
        EXPECT_EQ(RunError(basic, {c.line}), "Out of memory in 10") << c.line;
        const auto n = basic.GetVariable("N");
        ASSERT_TRUE(n.has_value()) << c.line;
        EXPECT_EQ(n->Number(), c.levels) << c.line;
    }
    // Loops that end and subroutines that return give their room back.
    CFakeBasicHost host;
    CN88Basic basic(host);
    EXPECT_EQ(
        RunError(basic, {"10 FOR J=1 TO 300:GOSUB 30:NEXT:END", "30 FOR K=1 TO 2:NEXT:RETURN"}),
        "");
}

TEST(N88Limits, ExpressionNestingRunsOutOfMemory) {
    struct {
        std::size_t depth;
        std::string error;
    } const cases[] = {
        {40, ""},
        {42, "Out of memory in 10"},
    };
    for (const auto& c : cases) {
        CFakeBasicHost host;
        CN88Basic basic(host);
        EXPECT_EQ(RunError(basic, {Nested(c.depth)}), c.error) << c.depth;
    }
    CFakeBasicHost host;
    CN88Basic basic(host);
    EXPECT_EQ(RunError(basic, {"10 A=" + std::string(60, '-') + "1"}), "Out of memory in 10");
}

// LOAD takes lines no longer than a typed one; a longer one ends the LOAD
// with the line closed, before the far end can fill the host's memory or
// nest an expression without end.
TEST(N88Limits, LoadRefusesALineLongerThanTheLineBuffer) {
    const std::string fits = "20 PRINT \"" + std::string(240, 'A') + "\"";
    const std::string cases[] = {
        Nested(10000),
        "20 PRINT \"" + std::string(65540, 'A') + "\"",
        std::string(256, ' ') + "30 END",
    };
    for (const std::string& line : cases) {
        CFakeBasicHost host;
        host.comIn = "10 PRINT 1\r\n" + fits + "\r\n" + line + "\r\n";
        CN88Basic basic(host);
        try {
            basic.EnterLine("LOAD \"COM:N71XN\"");
            ADD_FAILURE() << "loaded " << line.size() << " characters";
        } catch (const pc88::CBasicError& error) {
            EXPECT_STREQ(error.what(), "Line buffer overflow");
        }
        EXPECT_EQ(host.comCloses, 1);
        EXPECT_EQ(basic.GetListing(), "10 PRINT 1\r\n" + fits + "\r\n");
    }
}

// A token's length has 16 bits, a string at most 255 characters: a longer
// string constant, or text whose length would wrap, stops with an error
// when its line runs, never as other text.
TEST(N88Limits, OverlongConstantsAreErrorsNotWrappedLengths) {
    pc88::CNameTable names;
    const std::string cases[] = {
        "PRINT \"" + std::string(256, 'A') + "\"",
        "PRINT \"" + std::string(65540, 'A'),
        "REM " + std::string(65536, 'A'),
    };
    const pc88::EBasicError errors[] = {pc88::EBasicError::StringTooLong,
                                        pc88::EBasicError::StringTooLong,
                                        pc88::EBasicError::LineBufferOverflow};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const pc88::STokenLine line = pc88::TokenizeLine(cases[i], names);
        ASSERT_EQ(line.tokens.size(), 3u) << i;
        EXPECT_EQ(line.tokens[1].kind, pc88::ETokenKind::Fault) << i;
        EXPECT_EQ(line.tokens[1].sub, static_cast<std::uint8_t>(errors[i])) << i;
    }
    const pc88::STokenLine longest =
        pc88::TokenizeLine("PRINT \"" + std::string(255, 'A') + "\"", names);
    EXPECT_EQ(longest.Text(longest.tokens[1]), std::string(255, 'A'));
}

} // namespace
} // namespace pc88_test
