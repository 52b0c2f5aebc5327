// SPDX-License-Identifier: GPL-3.0-or-later
// The language itself: number formats and conversions as N88-BASIC prints
// them, the constructs Grebe relies on, and the refusal of everything
// outside the language with N88-BASIC's message and the failing line.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeBasicHost.h"
#include "pc88/N88Basic.h"

namespace pc88_test {
namespace {

using pc88::CN88Basic;
using pc88::SValue;

struct SRun {
    std::string screen;
    std::string error;
};

// Stores the lines, runs them and returns what was printed and the error.
SRun RunProgram(const std::vector<std::string>& lines) {
    CFakeBasicHost host;
    CN88Basic basic(host);
    SRun run;
    try {
        for (const std::string& line : lines)
            basic.EnterLine(line);
        basic.EnterLine("RUN");
    } catch (const pc88::CBasicError& error) {
        run.error = error.what();
    }
    run.screen = host.screen;
    return run;
}

struct SFormatCase {
    SValue value;
    const char* text;
};

TEST(N88Number, PrintFormOfIntegersAndSinglePrecision) {
    const SFormatCase cases[] = {
        {SValue::Integer(0), " 0 "},
        {SValue::Integer(-5), "-5 "},
        {SValue::Integer(32767), " 32767 "},
        {SValue::Integer(-32768), "-32768 "},
        {SValue::Single(40000), " 40000 "},
        {SValue::Single(65535), " 65535 "},
        {SValue::Single(1.5f), " 1.5 "},
        {SValue::Single(-0.25f), "-.25 "},
        {SValue::Single(1.0f / 3), " .333333 "},
        {SValue::Single(123456.7f), " 123457 "},
        {SValue::Single(999999), " 999999 "},
        {SValue::Single(1e6f), " 1E+06 "},
        {SValue::Single(1234567), " 1.23457E+06 "},
        {SValue::Single(1e-6f), " .000001 "},
        {SValue::Single(1e-7f), " 1E-07 "},
        {SValue::Single(-1.5e-10f), "-1.5E-10 "},
        {SValue::Single(1.70141e38f), " 1.70141E+38 "},
    };
    for (const SFormatCase& c : cases)
        EXPECT_EQ(pc88::FormatNumber(c.value), c.text) << c.text;
}

struct SProgramCase {
    std::vector<std::string> lines;
    std::string screen; // after "RUN"
};

TEST(N88Language, ConversionsAndTheConstructsGrebeUses) {
    const SProgramCase cases[] = {
        {{"10 PRINT &HB000;65536!;&HFFFF"}, "-20480  65536 -1 \r\n"},
        {{"10 PRINT HEX$(40000!);\" \";HEX$(65535!);\" \";HEX$(-1);\" \";HEX$(&HB00F)"},
         "9C40 FFFF FFFF B00F\r\n"},
        {{"10 PRINT RIGHT$(\"000\"+HEX$(20),4);RIGHT$(\"0\"+HEX$(255),2)"}, "0014FF\r\n"},
        {{"10 PRINT VAL(\"&HB0\");VAL(\"&HFFFF\");VAL(\" 12AB\");VAL(\"\");VAL(\"-1.5E2\")"},
         " 176 -1  12  0 -150 \r\n"},
        {{"10 A%=2.5:B%=-2.5:C%=32767.4:PRINT A%;B%;C%"}, " 3 -3  32767 \r\n"},
        {{"10 PRINT -7 MOD 3;(255+2) MOD 256;7/2;CHR$(&H31+((4-1) MOD 2))"}, "-1  1  3.5 2\r\n"},
        {{"10 PRINT \"A\"<\"B\";\"AB\">\"A\";2<>2;3 AND 5 OR 8;1=<1;2>=3"},
         "-1 -1  0  9 -1  0 \r\n"},
        {{"10 PRINT MID$(\"ABCDE\",2,3);MID$(\"AB\",5);MID$(\"ABC\",2);ASC(\"A\")+LEN(\"XYZ\")"},
         "BCDBC 68 \r\n"},
        {{"10 POKE -20465,7:POKE &HB010,8:PRINT PEEK(&HB000+3*5);PEEK(-20464)"}, " 7  8 \r\n"},
        {{"10 PRINT 1,2"}, " 1             2 \r\n"},
        {{"10 PRINT \"Read\";40000!;\"Byte(s) Data\""}, "Read 40000 Byte(s) Data\r\n"},
        // A name may hold a reserved word (LINE in LINES).
        {{"10 LINES=2:LINES=LINES+1:PRINT LINES"}, " 3 \r\n"},
        {{"10 CLEAR,&HAFFF:DEFINT A-Z:A=1.6:A!=2.5:PRINT A;A!;A%"}, " 2  2.5  2 \r\n"},
        {{"10 FOR I=1 TO 3:PRINT I;:NEXT:FOR I=10 TO 1 STEP -4:PRINT I;:NEXT I:PRINT"},
         " 1  2  3  10  6  2 \r\n"},
        {{"10 FOR I=3 TO 1:PRINT \"X\";", "20 NEXT I:PRINT \"Y\""}, "Y\r\n"},
        {{"10 READ A$,B:PRINT A$;B:DATA \"X:Y\" , 12"}, "X:Y 12 \r\n"},
        {{"10 READ BT,M$:PRINT BT;M$", "20 DATA 1052", "30 DATA \"AB:C,D"}, " 1052 AB:C,D\r\n"},
        {{"10 READ A:RESTORE *D:READ B:PRINT A;B", "20 DATA 5", "30 *D", "40 DATA 6"},
         " 5  6 \r\n"},
        {{"10 GOSUB *S:PRINT \"B\":END", "20 *S", "30 PRINT \"A\";:RETURN"}, "AB\r\n"},
        {{"10 A=1:B=0:IF A THEN IF B THEN PRINT 1 ELSE PRINT 2 ELSE PRINT 3"}, " 2 \r\n"},
        {{"10 IF 0 THEN 30 ELSE *E", "20 PRINT \"N\"", "30 *E:PRINT \"E\""}, "E\r\n"},
    };
    for (const SProgramCase& c : cases) {
        const SRun run = RunProgram(c.lines);
        EXPECT_EQ(run.error, "") << c.lines[0];
        EXPECT_EQ(run.screen, c.screen) << c.lines[0];
    }
}

struct SRefusalCase {
    std::vector<std::string> lines;
    std::string error;
};

TEST(N88Language, RefusesWhatIsOutsideTheLanguage) {
    const std::string unsupported = "Unsupported statement in 10";
    const SRefusalCase cases[] = {
        // Real N88-BASIC beyond the language.
        {{"10 CLS"}, unsupported},
        {{"10 LINE (0,0)-(1,1)"}, unsupported},
        {{"10 LET A=1"}, unsupported},
        {{"10 DIM A(5)"}, unsupported},
        {{"10 A(1)=5"}, unsupported},
        {{"10 A=2^2"}, unsupported},
        {{"10 A=7\\2"}, unsupported},
        {{"10 A=NOT 1"}, unsupported},
        {{"10 A#=1"}, unsupported},
        {{"10 A=12345678"}, unsupported},
        {{"10 PRINT LEFT$(\"AB\",1)"}, unsupported},
        {{"10 PRINT USING \"##\";1"}, unsupported},
        {{"10 IF 1 GOTO 10"}, unsupported},
        {{"10 OPEN \"COM:N71XN\" FOR INPUT AS #1"}, unsupported},
        {{"10 BEEP 1"}, unsupported},
        {{"10 LIST"}, unsupported},
        // Faults N88-BASIC itself stops at.
        {{"10 PRNT \"X\""}, "Syntax error in 10"},
        {{"10 A=1 B=2"}, "Syntax error in 10"},
        {{"10 IF 1 THEN"}, "Syntax error in 10"},
        {{"10 READ A", "20 DATA X1"}, "Syntax error in 20"},
        {{"10 GOTO 20"}, "Undefined line number in 10"},
        {{"10 GOSUB *NOWHERE"}, "Undefined line number in 10"},
        {{"10 A$=1"}, "Type mismatch in 10"},
        {{"10 IF \"A\" THEN 10"}, "Type mismatch in 10"},
        {{"10 READ A"}, "Out of DATA in 10"},
        {{"10 RETURN"}, "RETURN without GOSUB in 10"},
        {{"10 NEXT"}, "NEXT without FOR in 10"},
        {{"10 FOR I=1 TO 0"}, "FOR without NEXT in 10"},
        {{"10 A%=32767:A%=A%+1"}, "Overflow in 10"},
        {{"10 A%=40000!"}, "Overflow in 10"},
        {{"10 PRINT HEX$(65536!)"}, "Overflow in 10"},
        {{"10 A=VAL(\"&H10000\")"}, "Overflow in 10"},
        {{"10 A=1/0"}, "Division by zero in 10"},
        {{"10 PRINT CHR$(256)"}, "Illegal function call in 10"},
        {{"10 POKE 0,256"}, "Illegal function call in 10"},
        {{"10 A=USR1(0)"}, "Illegal function call in 10"},
        {{"10 A$=\"X\":FOR I=1 TO 8:A$=A$+A$:NEXT"}, "String too long in 10"},
        {{"10 PRINT #1,\"X\""}, "Bad file number in 10"},
        {{"10 OPEN \"LPT:\" FOR OUTPUT AS #1"}, "Bad file name in 10"},
        {{"10 OPEN \"COM:N71XN\" FOR OUTPUT AS #1", "20 OPEN \"COM:\" FOR OUTPUT AS #2"},
         "File already open in 20"},
    };
    for (const SRefusalCase& c : cases)
        EXPECT_EQ(RunProgram(c.lines).error, c.error) << c.lines.back();
}

TEST(N88Console, EchoesEditsStoresAndRunsTypedLines) {
    CFakeBasicHost host;
    host.Type("10 PRX\bINT 5\rRUN\rLIST\rNEW\rLIST\rPRNT\r");
    CN88Basic basic(host);
    EXPECT_THROW(basic.RunConsole(), pc88::CHostStop);
    EXPECT_EQ(host.screen, "Ok\r\n"
                           "10 PRX\b \bINT 5\r\n"
                           "RUN\r\n 5 \r\nOk\r\n"
                           "LIST\r\n10 PRINT 5\r\nOk\r\n"
                           "NEW\r\nOk\r\n"
                           "LIST\r\nOk\r\n"
                           "PRNT\r\nSyntax error\r\nOk\r\n");
}

TEST(N88Console, PrintToTheLineEndsEachLineWithCrLf) {
    CFakeBasicHost host;
    CN88Basic basic(host);
    basic.EnterLine("10 OPEN \"COM:N71XN\" FOR OUTPUT AS #1");
    basic.EnterLine("20 PRINT #1,:PRINT #1,\"CAS\";1:PRINT #1,\"A\",\"B\":CLOSE #1");
    basic.EnterLine("RUN");
    EXPECT_EQ(host.comOut, "\r\nCAS 1 \r\nA             B\r\n");
    EXPECT_EQ(host.comOpens, std::vector<std::string>{"N71XN"});
    EXPECT_EQ(host.comCloses, 1);
}

} // namespace
} // namespace pc88_test
