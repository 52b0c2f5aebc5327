// SPDX-License-Identifier: GPL-3.0-or-later
// The generated loader text: what the program sends to the PC-8801.
#include <regex>
#include <set>

#include "loader/LoaderText.h"
#include "model/ModelSupport.h"

namespace model_test {
namespace {

std::string Text() {
    const auto bytes = GetLoaderResource();
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines() {
    const std::string text = Text();
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

int Number(const std::string& line) {
    return std::stoi(line.substr(0, line.find(' ')));
}

std::string LineNumbered(int n) {
    for (const std::string& line : Lines())
        if (!line.empty() && line[0] >= '0' && line[0] <= '9' && Number(line) == n)
            return line;
    return {};
}

TEST(GrebeText, SevenBitAsciiCrLfNoNul) {
    const std::string text = Text();
    for (unsigned char c : text) {
        EXPECT_NE(c, 0);
        EXPECT_LT(c, 0x80);
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
        if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
        }
    }
}

TEST(GrebeText, EndsWithTheOnlyBeepLine) {
    const std::string text = Text();
    const std::string marker = "\r\nBEEP\r\n";
    ASSERT_GE(text.size(), marker.size());
    EXPECT_EQ(text.substr(text.size() - marker.size()), marker);
    EXPECT_EQ(text.find(marker), text.size() - marker.size());
    EXPECT_EQ(Lines().back(), "BEEP");
}

TEST(GrebeText, NumberedFrom1000To2460InStepsOf10) {
    const std::vector<std::string> lines = Lines();
    const int dataLines = static_cast<int>((sizeof routine::kImage + 31) / 32);
    const int lastData = 1170 + 10 * (dataLines - 1);
    int expected = 1000;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_EQ(Number(lines[i]), expected) << lines[i];
        EXPECT_EQ(lines[i].substr(0, 5), std::to_string(expected) + " ");
        expected = (expected == lastData) ? 1570 : expected + 10;
    }
    EXPECT_EQ(expected, 2470);
}

TEST(GrebeText, CountLineAndDataLines) {
    const std::size_t size = sizeof routine::kImage;
    EXPECT_EQ(LineNumbered(1160), "1160 DATA " + std::to_string(size));
    const std::regex full("^[0-9]{4} DATA \"[0-9A-F]{64}$");
    const std::size_t fullLines = size / 32, rest = size % 32;
    for (std::size_t i = 0; i < fullLines; ++i) {
        const std::string line = LineNumbered(static_cast<int>(1170 + 10 * i));
        EXPECT_TRUE(std::regex_match(line, full)) << line;
    }
    if (rest > 0) {
        const std::string last = LineNumbered(static_cast<int>(1170 + 10 * fullLines));
        EXPECT_TRUE(std::regex_match(
            last, std::regex("^[0-9]{4} DATA \"[0-9A-F]{" + std::to_string(2 * rest) + "}$")))
            << last;
    }
    EXPECT_LE((size + 31) / 32, 40u) << "lines 1170-1560 hold at most 40";
}

TEST(GrebeText, LabelsAndRemarksOnTheirLines) {
    EXPECT_EQ(LineNumbered(1000), "1000 ' Grebe Ver. 1, 0, 1");
    EXPECT_EQ(LineNumbered(1010).substr(0, 6), "1010 '");
    for (int n : {1020, 1150, 1570, 1830, 1940, 2130, 2370})
        EXPECT_EQ(LineNumbered(n), std::to_string(n) + " '");
    const std::pair<int, const char*> labels[] = {
        {1080, "*MCPOKE"},   {1600, "*BAUDSEL"},   {1630, "*BAUDSEL2"},   {1840, "*COMMAND"},
        {1870, "*COMMAND2"}, {1950, "*DUMP"},      {1990, "*DUMP2"},      {2080, "*DUMP3"},
        {2140, "*TRANS"},    {2220, "*TRANSLOOP"}, {2320, "*TRANSABORT"}, {2380, "*QUIT"},
        {2400, "*QUIT2"},    {2450, "*QUIT3"}};
    for (const auto& [n, label] : labels)
        EXPECT_EQ(LineNumbered(n), std::to_string(n) + " " + label);
}

TEST(GrebeText, UsrCallsOnTheirLines) {
    EXPECT_NE(LineNumbered(1580).find("DEF USR1=&HB000"), std::string::npos);
    EXPECT_NE(Text().find("DEF USR5=&HB00C"), std::string::npos);
    EXPECT_NE(LineNumbered(1610).find("USR5(2)"), std::string::npos);
    EXPECT_NE(LineNumbered(1730).find("USR1(BAUD)"), std::string::npos);
    EXPECT_NE(LineNumbered(1850).find("USR5(3)"), std::string::npos);
    EXPECT_NE(LineNumbered(2010).find("USR3(ADR)"), std::string::npos);
    EXPECT_NE(LineNumbered(2240).find("USR4(ADR)"), std::string::npos);
    EXPECT_EQ(LineNumbered(1040), "1040 CLEAR,&HAFFF:DEFINT A-Z");
    EXPECT_EQ(LineNumbered(1030), "1030 SCREEN 1,0,0,0");
}

TEST(GrebeText, EveryScreenTextOfGrebe) {
    const std::string text = Text();
    for (const char* s : {"\"Initializing...\"",
                          "\"Select Baud Rate(1:1200, 2:600, 3:1200-Ex, 4:600-Ex) ? \";",
                          "\"1:1200\"",
                          "\"2:600\"",
                          "\"3:1200-Ex\"",
                          "\"4:600-Ex\"",
                          "\"Start Casette Read(ESC:Abort)\"",
                          "\"Finish Casette Read\"",
                          "\"Time Out\"",
                          "\"Abort\"",
                          "\"Read Error\"",
                          "\"Read\";BYTES!;\"Byte(s) Data\"",
                          "\"Select Command(D:Dump, T:Transfer, R:Read, Q:Quit) ? \";",
                          "\"D:Dump\"",
                          "\"T:Transfer(ESC:Abort)\"",
                          "\"R:Read\"",
                          "\"Q:Quit\"",
                          "\"Hit Return Key(ESC:Abort)\";",
                          "\"COM:N71XN\"",
                          "\"ABORT\"",
                          "\"Transfer Complete\"",
                          "\"Transfer Abort\"",
                          "\"Sure(Y/N) ? \";",
                          "PEEK(&HB000+3*5)",
                          "RIGHT$(\"000\"+HEX$(BYTES!),4)",
                          "RIGHT$(\"0\"+HEX$(SUM),2)",
                          "CHR$(&H31+((BAUD-1) MOD 2))"})
        EXPECT_NE(text.find(s), std::string::npos) << s;
}

TEST(GrebeText, EveryJumpTargetIsALabelLine) {
    std::set<std::string> defined;
    for (const std::string& line : Lines()) {
        const std::size_t blank = line.find(' ');
        if (blank != std::string::npos && line.compare(blank + 1, 1, "*") == 0) {
            const std::string label = line.substr(blank + 1);
            EXPECT_TRUE(std::regex_match(label, std::regex("^\\*[A-Z0-9]+$"))) << line;
            EXPECT_TRUE(defined.insert(label).second) << "defined twice: " << label;
        }
    }
    const std::regex reference("\\*[A-Z][A-Z0-9]*");
    for (const std::string& line : Lines()) {
        if (line.find(" DATA ") != std::string::npos || line.find('\'') != std::string::npos)
            continue;
        for (auto it = std::sregex_iterator(line.begin(), line.end(), reference);
             it != std::sregex_iterator(); ++it)
            EXPECT_TRUE(defined.count(it->str()))
                << "undefined label " << it->str() << " in: " << line;
    }
}

TEST(GrebeText, LinesFitN88Basic) {
    for (const std::string& line : Lines())
        EXPECT_LE(line.size(), 255u) << line;
}

TEST(GrebeText, SizeFollowsTheRoutine) {
    // Everything but the DATA lines is fixed by the template; the reference
    // text is 6,077 bytes with its 1,253-byte routine.
    const std::size_t size = GetLoaderResource().size();
    EXPECT_GT(size, 4000u);
    EXPECT_LE(size, 6077u);
}

} // namespace
} // namespace model_test
