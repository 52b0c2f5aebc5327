// SPDX-License-Identifier: GPL-3.0-or-later
// The N88-BASIC listing of a block and the cruncher that makes one: a
// program of token words and every number form, listed against a listing
// written by hand from the token table and the number forms; a broken link
// chain; the cruncher's bytes against the same hand-made program; round
// trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "inspect/BasicCruncher.h"
#include "inspect/BasicListing.h"
#include "inspect/MbfNumber.h"
#include "loader/LoaderText.h"

using namespace inspect;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::pair<unsigned, Bytes>>;

const Bytes kName{'T', 'E', 'S', 'T', 0x00, 0x00};

// A BASIC block as CSAVE writes it, the program linked at `base`.
Bytes Program(const Lines& lines, unsigned base = kTextAreaAddress) {
    Bytes b(10, 0xD3);
    b.insert(b.end(), kName.begin(), kName.end());
    for (const auto& [number, text] : lines) {
        const std::size_t next = b.size() + 4 + text.size() + 1;
        const unsigned link = base + static_cast<unsigned>(next - 16);
        b.insert(b.end(),
                 {static_cast<std::uint8_t>(link), static_cast<std::uint8_t>(link >> 8),
                  static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8)});
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(0x00);
    }
    b.insert(b.end(), 11, 0x00);
    return b;
}

// Every number form and the words around them, as N88-BASIC stores them.
const Lines kEveryForm = {
    // FOR I=1 TO 10 STEP 2:NEXT: one-digit and one-byte integers
    {10, {0x82, ' ', 'I', 0xF1, 0x12, ' ', 0xDC, ' ', 0x0F, 0x0A, ' ', 0xDF, ' ', 0x13, ':', 0x83}},
    // A=&HFF+&O17-300*-5: hex, octal, 2-byte integer, the minus a token
    {20,
     {'A', 0xF1, 0x0C, 0xFF, 0x00, 0xF3, 0x0B, 0x0F, 0x00, 0xF4, 0x1C, 0x2C, 0x01, 0xF5, 0xF4,
      0x16}},
    // B=1.5+.25#+1E+10+40000!+12345678: singles and doubles in MBF
    {30, {'B',  0xF1, 0x1D, 0x00, 0x00, 0x40, 0x81, 0xF3, 0x1F, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x7F, 0xF3, 0x1D, 0xF9, 0x02, 0x15, 0xA2, 0xF3, 0x1D, 0x00,
          0x40, 0x1C, 0x90, 0xF3, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x4E, 0x61, 0x3C, 0x98}},
    // IF A>B THEN 100 ELSE PRINT SQR(A) 'note: line number, ':' ELSE, ':' REM '
    {40, {0x8B, ' ', 'A',  0xF0, 'B', ' ', 0xDD, ' ', 0x0E, 0x64, 0x00, ' ', ':', 0x9F, ' ',
          0x91, ' ', 0xFF, 0x87, '(', 'A', ')',  ' ', ':',  0x8F, 0xE9, 'n', 'o', 't',  'e'}},
    // DATA 1,"A:B",ｶﾅ:REM ok: DATA items and a remark kept as characters
    {50, {0x84, ' ', '1', ',', '"', 'A', ':', 'B', '"', ',', 0xB6, 0xC5, ':', 0x8F, ' ', 'o', 'k'}},
    // GOSUB 10:RETURN
    {60, {0x8D, ' ', 0x0E, 0x0A, 0x00, ':', 0x8E}},
    // X$=LEFT$(C$,3)+CHR$(&H41)+INKEY$:Y=A MOD 2 AND NOT B
    {70, {'X',  '$',  0xF1, 0xFF, 0x81, '(',  'C',  '$',  ',',  0x14, ')', 0xF3,
          0xFF, 0x96, '(',  0x0C, 0x41, 0x00, ')',  0xF3, 0xEF, ':',  'Y', 0xF1,
          'A',  ' ',  0xFD, ' ',  0x13, ' ',  0xF8, ' ',  0xE3, ' ',  'B'}},
    // POKE &HB000,PEEK(0):DEF USR1=&HB000:PRINT USR1(0);"ｱ:"
    {80, {0x98, ' ',  0x0C, 0x00, 0xB0, ',',  0xFF, 0x97, '(',  0x11, ')',
          ':',  0x97, ' ',  0xE0, 0x12, 0xF1, 0x0C, 0x00, 0xB0, ':',  0x91,
          ' ',  0xE0, 0x12, '(',  0x11, ')',  ';',  '"',  0xB1, ':',  '"'}},
    // LOCATE 0,0:COLOR 7:CLS 3:SCREEN ,,0:END
    {90, {0xD6, ' ',  0x11, ',',  0x11, ':', 0xCB, ' ',  0x18, ':', 0xCE,
          ' ',  0x14, ':',  0xD3, ' ',  ',', ',',  0x11, ':',  0x81}},
};

const char* const kEveryFormListed = "10 FOR I=1 TO 10 STEP 2:NEXT\n"
                                     "20 A=&HFF+&O17-300*-5\n"
                                     "30 B=1.5+.25#+1E+10+40000!+12345678\n"
                                     "40 IF A>B THEN 100 ELSE PRINT SQR(A) 'note\n"
                                     "50 DATA 1,\"A:B\",ｶﾅ:REM ok\n"
                                     "60 GOSUB 10:RETURN\n"
                                     "70 X$=LEFT$(C$,3)+CHR$(&H41)+INKEY$:Y=A MOD 2 AND NOT B\n"
                                     "80 POKE &HB000,PEEK(0):DEF USR1=&HB000:PRINT USR1(0);\"ｱ:\"\n"
                                     "90 LOCATE 0,0:COLOR 7:CLS 3:SCREEN ,,0:END\n";

} // namespace

TEST(BasicListing, EveryNumberFormAndWordListsAsWrittenByHand) {
    const SBasicListing listing = ListBasic(Program(kEveryForm));
    EXPECT_EQ(listing.text, kEveryFormListed);
    EXPECT_FALSE(listing.stoppedAt);
}

TEST(BasicListing, ALineAddressListsTheNumberOfItsLine) {
    // After RUN a GOTO holds the address of line 10's link (or of the 0x00
    // before it) in place of its number; an address of no line stays one.
    const unsigned line10 = kTextAreaAddress;
    const Bytes program = Program(
        {{10, {0x91}},
         {20,
          {0x89, ' ', 0x0D, static_cast<std::uint8_t>(line10),
           static_cast<std::uint8_t>(line10 >> 8), ':', 0x89, ' ', 0x0D,
           static_cast<std::uint8_t>(line10 - 1), static_cast<std::uint8_t>((line10 - 1) >> 8), ':',
           0x89, ' ', 0x0D, 0x34, 0x12}}});
    EXPECT_EQ(ListBasic(program).text, "10 PRINT\n20 GOTO 10:GOTO 10:GOTO 4660\n");
}

TEST(BasicListing, ABrokenLinkListsTheLinesBeforeItAndSaysWhere) {
    Bytes program = Program({{10, {0x91, ' ', 0x12}}, {20, {0x91, ' ', 0x13}}, {30, {0x81}}});
    const std::size_t line20 = 16 + 4 + 3 + 1;
    program[line20] ^= 0x40; // line 20's link points elsewhere
    const SBasicListing listing = ListBasic(program);
    EXPECT_EQ(listing.text, "10 PRINT 1\n");
    ASSERT_TRUE(listing.stoppedAt);
    EXPECT_EQ(*listing.stoppedAt, line20);
    EXPECT_EQ(listing.reason, SBasicListing::EStop::brokenLink);

    // A stray byte inside line 20 moves its end, so its own link no longer
    // fits; the zeros of a number's operand (0x1C 00 00) end no line.
    Bytes stray = Program({{10, {0x91}}, {20, {0x1C, 0x00, 0x00}}, {30, {0x81}}});
    stray.insert(stray.begin() + 16 + 6 + 4 + 3, 0x41);
    const SBasicListing cut = ListBasic(stray);
    EXPECT_EQ(cut.text, "10 PRINT\n");
    EXPECT_EQ(cut.stoppedAt, std::optional<std::size_t>(16 + 6));
}

TEST(BasicListing, AProgramCutOffListsWhatCameWhole) {
    Bytes program = Program({{10, {0x91, ' ', 0x12}}, {20, {0x91, ' ', 0x13}}});
    program.resize(16 + 8 + 5); // inside line 20
    const SBasicListing listing = ListBasic(program);
    EXPECT_EQ(listing.text, "10 PRINT 1\n");
    EXPECT_EQ(listing.stoppedAt, std::optional<std::size_t>(24));
    EXPECT_EQ(listing.reason, SBasicListing::EStop::cutOff);
}

TEST(BasicListing, TheLinksMayStartAnywhereInMemory) {
    EXPECT_EQ(ListBasic(Program(kEveryForm, 0x8001)).text, kEveryFormListed);
}

TEST(BasicCruncher, TheHandWrittenListingTokenisesToTheHandMadeBytes) {
    const CTapeBlock block = BuildBasicBlock(kEveryFormListed, kName, kBaudSlow);
    EXPECT_EQ(block.m_data, Program(kEveryForm));
    EXPECT_EQ(block.m_nBaud, kBaudSlow);
}

TEST(BasicCruncher, TypedFormsListBackAsLISTWritesThem) {
    // Lower case, ?, CR LF, lines out of order, a line typed again, a bare
    // number that deletes its line, names holding reserved words, type
    // marks and number suffixes, UTF-8 katakana and the yen sign.
    const std::string typed = "20 ?\"ok\";lines:goto 10\r\n"
                              "10 for i=1 to 5:a%=i%+1%:print a!,b#:next i\r\n"
                              "30 x=10000000:y=1.0:z=123456789012:w=.1e-3:v=2d3\r\n"
                              "40 print \"ｶﾀｶﾅ¥\":list 10-20\r\n"
                              "50 this line goes\r\n"
                              "50\r\n"
                              "60 on x goto 10,20,30 else 40\n"
                              "70 *list:gosub *list:a=b*cos(c):remark\n"
                              "\n";
    const CTapeBlock block = BuildBasicBlock(typed, kName, kBaudFast);
    EXPECT_EQ(ListBasic(block.m_data).text, "10 FOR I=1 TO 5:A%=I%+1:PRINT A!,B#:NEXT I\n"
                                            "20 PRINT\"ok\";LINES:GOTO 10\n"
                                            "30 X=10000000#:Y=1!:Z=123456789012:W=.0001:V=2000#\n"
                                            "40 PRINT \"ｶﾀｶﾅ\\\":LIST 10-20\n"
                                            "60 ON X GOTO 10,20,30 ELSE 40\n"
                                            "70 *LIST:GOSUB *LIST:A=B*COS(C):REMark\n");
    // A label is its letters, whatever words they spell; REM takes the
    // letters that follow it.
    const std::vector<std::uint8_t> line70{0xF5, 'L', 'I', 'S', 'T',  ':',  0x8D, ' ',  0xF5, 'L',
                                           'I',  'S', 'T', ':', 'A',  0xF1, 'B',  0xF5, 0xFF, 0x8C,
                                           '(',  'C', ')', ':', 0x8F, 'a',  'r',  'k'};
    const auto& b = block.m_data;
    EXPECT_NE(std::search(b.begin(), b.end(), line70.begin(), line70.end()), b.end());

    // What LIST writes is taken back to the same bytes.
    const CTapeBlock again = BuildBasicBlock(ListBasic(block.m_data).text, kName, kBaudFast);
    EXPECT_EQ(again.m_data, block.m_data);
}

TEST(BasicCruncher, TheLoaderListsBackAsItIsSent) {
    // Grebe, 140 lines of labels, DATA, remarks and hexadecimal constants.
    // Its last line (BEEP) is a direct statement without a number, which a
    // listing cannot hold; LIST writes &H0D as &HD.
    const auto resource = GetLoaderResource();
    std::string sent(resource.begin(), resource.end());
    const std::size_t direct = sent.rfind("BEEP\r\n");
    ASSERT_EQ(direct + 6, sent.size());
    sent.resize(direct);
    std::string expected;
    for (char c : sent) {
        if (c != '\r')
            expected += c;
    }
    for (std::size_t at; (at = expected.find("&H0D")) != std::string::npos;)
        expected.replace(at, 4, "&HD");

    const CTapeBlock block = BuildBasicBlock(sent, kName, kBaudFast);
    const SBasicListing listing = ListBasic(block.m_data);
    EXPECT_EQ(listing.text, expected);
    EXPECT_FALSE(listing.stoppedAt);
}

TEST(BasicCruncher, ShiftJisKatakanaAreTheSameBytes) {
    const std::string sjis = "10 PRINT \"\xB6\xC0\"\n";
    const std::string utf8 = "10 PRINT \"ｶﾀ\"\n";
    EXPECT_EQ(BuildBasicBlock(sjis, kName, kBaudFast), BuildBasicBlock(utf8, kName, kBaudFast));
}

TEST(BasicCruncher, ALineItCannotTakeIsRefusedWithItsNumber) {
    auto refusal = [](const std::string& text) -> std::pair<unsigned, bool> {
        try {
            BuildBasicBlock(text, kName, kBaudFast);
        } catch (const CBasicTextError& e) {
            return {e.m_nLine, e.m_bNumbered};
        }
        return {0, false};
    };
    EXPECT_EQ(refusal("10 END\n20 PRINT \"漢字\"\n"), std::make_pair(20u, true));
    EXPECT_EQ(refusal("10 END\n20 A=&H10000\n"), std::make_pair(20u, true));
    EXPECT_EQ(refusal("10 A=40000%\n"), std::make_pair(10u, true));
    EXPECT_EQ(refusal("10 A=1E+40\n"), std::make_pair(10u, true));
    EXPECT_EQ(refusal("10 A=1E99999\n"), std::make_pair(10u, true)); // beyond any float
    EXPECT_EQ(refusal("10 GOTO 65530\n"), std::make_pair(10u, true));
    EXPECT_EQ(refusal("10 REM " + std::string(300, 'x') + "\n"), std::make_pair(10u, true));
    EXPECT_EQ(refusal("10 END\nPRINT\n"), std::make_pair(2u, false));
    EXPECT_EQ(refusal("65530 END\n"), std::make_pair(1u, false));
    EXPECT_EQ(refusal("10 PRINT \"\x88\x9F\"\n"), std::make_pair(10u, true)); // Shift-JIS kanji
    // A control character would be stored as a line end or a number form.
    EXPECT_EQ(refusal(std::string("10 PRINT \"A\0B\"\n", 15)), std::make_pair(10u, true));
    EXPECT_EQ(refusal("10 PRINT\t\x0C\n"), std::make_pair(10u, true));
}

TEST(BasicCruncher, FileNamesAreSixPc8801Characters) {
    Bytes name;
    EXPECT_TRUE(EncodeFileName("ｹﾞｰﾑ1", name));
    EXPECT_EQ(name, (Bytes{0xB9, 0xDE, 0xB0, 0xD1, '1'}));
    EXPECT_FALSE(EncodeFileName("SEVENCH", name));
    EXPECT_FALSE(EncodeFileName("漢字", name));
}

TEST(MbfNumber, KnownConstantsConvertBothWays) {
    struct Row {
        long double value;
        Bytes single;
    };
    const Row rows[] = {
        {1.5L, {0x00, 0x00, 0x40, 0x81}}, {-1, {0x00, 0x00, 0x80, 0x81}},
        {10, {0x00, 0x00, 0x20, 0x84}},   {0, {0x00, 0x00, 0x00, 0x00}},
        {0.5L, {0x00, 0x00, 0x00, 0x80}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ValueToMbf(row.value, kMbfSingleSize), row.single);
        EXPECT_EQ(MbfToValue(row.single), row.value);
    }
    // 0.1 rounds to the nearest single, as N88-BASIC stores it.
    EXPECT_EQ(ValueToMbf(0.1L, kMbfSingleSize), (Bytes{0xCD, 0xCC, 0x4C, 0x7D}));
    EXPECT_EQ(FormatSingle(MbfToValue(Bytes{0xCD, 0xCC, 0x4C, 0x7D})), ".1");
    EXPECT_EQ(FormatDouble(MbfToValue(*ValueToMbf(0.1L, kMbfDoubleSize))), ".1#");
    EXPECT_EQ(FormatSingle(-2.5e-9L), "-2.5E-09");
    EXPECT_EQ(FormatDouble(1.25e20L), "1.25D+20");
    EXPECT_FALSE(ValueToMbf(1e39L, kMbfSingleSize));
}
