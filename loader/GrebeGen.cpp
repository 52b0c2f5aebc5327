// SPDX-License-Identifier: GPL-3.0-or-later
// Build-time generator of the loader text.
//
//   relmuth_grebe_gen TEMPLATE ROUTINE.BIN ROUTINE.SYM OUT.BAS OUT.CPP OUT.H
//
// TEMPLATE is Grebe's N88-BASIC text with one line "@ROUTINE@" where the
// routine goes; the generator puts there line 1160 "DATA <count>" and the
// DATA lines from 1170, 32 bytes (64 upper-case hex digits) each with no
// closing quote, the last line holding the rest. Lines end with CR LF.
// Lines of the template that begin with "#" (its licence line) are notes
// on the template and are left out of the loader text.
//
// It checks what the loader text must be and fails (exit 1, nothing
// written) when any of it does not hold: numbered lines 1000-2460 in
// ascending steps of 10 with room for the DATA lines, 7-bit ASCII without
// NUL, no line longer than the 255 characters N88-BASIC takes (its line
// number included), "BEEP" only as the last line, a routine of 1 to 1,280
// bytes.
//
// OUT.BAS is the loader text; OUT.CPP defines the same bytes for
// relmuth_core; OUT.H gives the tests the routine's symbols and bytes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kFirstLine = 1000;
constexpr int kLastLine = 2460;
constexpr int kCountLine = 1160;
constexpr int kFirstDataLine = 1170;
constexpr int kLineStep = 10;
constexpr std::size_t kBytesPerDataLine = 32;
constexpr std::size_t kMaxRoutineBytes = 40 * kBytesPerDataLine; // lines 1170-1560
// N88-BASIC's line buffer: a longer line, typed or loaded, is refused with
// "Line buffer overflow".
constexpr std::size_t kMaxLineLength = 255;
constexpr unsigned kOrigin = 0xB000;
constexpr const char* kMarker = "@ROUTINE@";
constexpr char kTemplateNote = '#';

[[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error(why);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail("cannot open " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out)
        Fail("cannot write " + path);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The line number at the start of a BASIC line, if it has one.
std::optional<int> LineNumber(const std::string& line) {
    std::size_t i = 0;
    int n = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i < 5)
        n = n * 10 + (line[i++] - '0');
    if (i == 0 || i >= line.size() || line[i] != ' ')
        return std::nullopt;
    return n;
}

std::string DataLines(const std::vector<std::uint8_t>& routine) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out =
        std::to_string(kCountLine) + " DATA " + std::to_string(routine.size()) + "\r\n";
    int number = kFirstDataLine;
    for (std::size_t at = 0; at < routine.size(); at += kBytesPerDataLine, number += kLineStep) {
        out += std::to_string(number) + " DATA \"";
        for (std::size_t i = at; i < routine.size() && i < at + kBytesPerDataLine; ++i) {
            out += kDigits[routine[i] >> 4];
            out += kDigits[routine[i] & 15];
        }
        out += "\r\n";
    }
    return out;
}

// Numbered lines ascending by 10 from 1000 to 2460; after them only "BEEP".
void CheckText(const std::string& text) {
    for (unsigned char c : text) {
        if (c == 0 || c > 0x7F)
            Fail("the loader text must be 7-bit ASCII without NUL");
    }
    if (text.size() < 8 || text.compare(text.size() - 8, 8, "\r\nBEEP\r\n") != 0)
        Fail("the loader text must end with the line BEEP");
    if (text.find("\r\nBEEP\r\n") != text.size() - 8)
        Fail("no line before the last may be BEEP");
    std::vector<std::string> lines = SplitLines(text);
    for (const std::string& line : lines) {
        if (line.size() > kMaxLineLength)
            Fail("a line of " + std::to_string(line.size()) +
                 " characters, more than the 255 N88-BASIC takes: " + line.substr(0, 40) + "...");
    }
    int previous = kFirstLine - kLineStep;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        std::optional<int> n = LineNumber(lines[i]);
        if (!n)
            Fail("line without a number: " + lines[i]);
        if (*n <= previous || *n % kLineStep != 0 || *n > kLastLine)
            Fail("line numbers must rise in steps of 10 up to 2460: " + lines[i]);
        if (*n != previous + kLineStep && !(previous >= kFirstDataLine && *n == 1570))
            Fail("line numbers may skip only between the DATA lines and 1570: " + lines[i]);
        previous = *n;
    }
    if (previous != kLastLine)
        Fail("the last numbered line must be 2460");
}

std::string BuildText(const std::string& templ, const std::vector<std::uint8_t>& routine) {
    if (routine.empty() || routine.size() > kMaxRoutineBytes)
        Fail("the routine must be 1 to 1280 bytes, it is " + std::to_string(routine.size()));
    std::string out;
    int markers = 0;
    for (const std::string& line : SplitLines(templ)) {
        if (!line.empty() && line.front() == kTemplateNote)
            continue;
        if (line == kMarker) {
            out += DataLines(routine);
            ++markers;
        } else {
            out += line + "\r\n";
        }
    }
    if (markers != 1)
        Fail("the template must hold exactly one line @ROUTINE@");
    CheckText(out);
    return out;
}

// "NAME\t\tEQU 0B010H" lines; pasmo's local labels (8 hex digits) are skipped.
std::map<std::string, unsigned> ReadSymbols(const std::string& text) {
    std::map<std::string, unsigned> symbols;
    for (const std::string& line : SplitLines(text)) {
        std::istringstream in(line);
        std::string name, equ, value;
        if (!(in >> name >> equ >> value) || equ != "EQU")
            continue;
        if (name.size() == 8 && name.find_first_not_of("0123456789ABCDEF") == std::string::npos)
            continue;
        if (value.empty() || (value.back() != 'H' && value.back() != 'h'))
            Fail("unexpected symbol line: " + line);
        symbols[name] =
            static_cast<unsigned>(std::stoul(value.substr(0, value.size() - 1), nullptr, 16));
    }
    return symbols;
}

std::string ByteList(const std::string& bytes) {
    std::string out;
    char item[8];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(item, sizeof item, "0x%02X,", static_cast<unsigned char>(bytes[i]));
        out += item;
        out += (i % 16 == 15) ? "\n" : " ";
    }
    return out;
}

std::string DataSource(const std::string& text) {
    return "// Generated by relmuth_grebe_gen from loader/Grebe.bas.in and loader/routine.asm.\n"
           "#include <cstddef>\n#include <cstdint>\n\n"
           "namespace loader_generated {\n"
           "extern const std::uint8_t kLoaderText[];\n"
           "extern const std::size_t kLoaderTextSize;\n"
           "const std::uint8_t kLoaderText[] = {\n" +
           ByteList(text) +
           "};\nconst std::size_t kLoaderTextSize = " + std::to_string(text.size()) +
           ";\n} // namespace loader_generated\n";
}

std::string SymbolsHeader(const std::map<std::string, unsigned>& symbols, const std::string& bin) {
    std::string out =
        "// Generated by relmuth_grebe_gen from pasmo's symbol file of loader/routine.asm.\n"
        "#pragma once\n#include <cstdint>\n\nnamespace routine {\n\n";
    char line[160];
    for (const auto& [name, value] : symbols) {
        std::snprintf(line, sizeof line, "inline constexpr std::uint16_t %s = 0x%04X;\n",
                      name.c_str(), value & 0xFFFF);
        out += line;
    }
    out += "\n// The assembled bytes, placed from kOrigin.\ninline constexpr std::uint16_t kOrigin "
           "= 0x" +
           [] {
               char h[8];
               std::snprintf(h, sizeof h, "%04X", kOrigin);
               return std::string(h);
           }() +
           ";\ninline constexpr std::uint8_t kImage[] = {\n" + ByteList(bin) +
           "};\n\n} // namespace routine\n";
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s TEMPLATE ROUTINE.BIN ROUTINE.SYM OUT.BAS OUT.CPP OUT.H\n",
                     argv[0]);
        return 2;
    }
    try {
        const std::string templ = ReadFile(argv[1]);
        const std::string bin = ReadFile(argv[2]);
        const std::map<std::string, unsigned> symbols = ReadSymbols(ReadFile(argv[3]));
        const std::vector<std::uint8_t> routine(bin.begin(), bin.end());
        const std::string text = BuildText(templ, routine);
        for (const char* name :
             {"TAPEREAD", "PEEKBUF", "DUMPLINE", "SENDLINE", "BEEPS", "RESCODE"}) {
            if (!symbols.count(name))
                Fail(std::string("the symbol file lacks ") + name);
        }
        if (symbols.at("RESCODE") != kOrigin + 15)
            Fail("RESCODE must lie at &HB00F");
        WriteFile(argv[4], text);
        WriteFile(argv[5], DataSource(text));
        WriteFile(argv[6], SymbolsHeader(symbols, bin));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "relmuth_grebe_gen: %s\n", e.what());
        return 1;
    }
    return 0;
}
