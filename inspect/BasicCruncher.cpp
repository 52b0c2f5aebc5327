// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/BasicCruncher.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>

#include "inspect/MbfNumber.h"
#include "inspect/N88TokenTable.h"
#include "inspect/Pc8801Text.h"
#include "tape/BlockInfo.h"

namespace inspect {
namespace {

constexpr std::uint8_t kColon = 0x3A;
constexpr std::uint8_t kQuote = 0x22;
constexpr std::uint8_t kYen = 0x5C;
constexpr int kIntegerMax = 32767;
constexpr int kSingleDigits = 7;

bool IsLetter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}
std::uint8_t Upper(std::uint8_t c) {
    return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

class CCruncher {
  public:
    CCruncher(std::string_view text, unsigned nLine) : m_s(text), m_nLine(nLine) {}

    std::vector<std::uint8_t> Run() {
        while (m_at < m_s.size())
            Step();
        if (m_out.size() > kMaxLineBytes)
            Fail("the line is longer than N88-BASIC takes");
        return std::move(m_out);
    }

  private:
    [[noreturn]] void Fail(const std::string& why) const {
        throw CBasicTextError(m_nLine, true, why);
    }

    std::uint8_t At(std::size_t i) const {
        return i < m_s.size() ? static_cast<std::uint8_t>(m_s[i]) : 0;
    }

    void Emit(std::uint16_t code) {
        if (code > 0xFF)
            m_out.push_back(n88::kFunctionPrefix);
        m_out.push_back(static_cast<std::uint8_t>(code));
    }
    void Word16(std::uint8_t form, unsigned value) {
        m_out.push_back(form);
        m_out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        m_out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void CopyRest(std::size_t end) {
        for (; m_at < end; ++m_at)
            m_out.push_back(At(m_at));
    }

    void Step() {
        const std::uint8_t c = At(m_at);
        if (c == kQuote) {
            std::size_t end = m_s.find('"', m_at + 1);
            CopyRest(end == std::string_view::npos ? m_s.size() : end + 1);
            m_lineNumbers = false;
        } else if (c == '\'') {
            m_out.insert(m_out.end(), {kColon, static_cast<std::uint8_t>(n88::kTokenRem),
                                       static_cast<std::uint8_t>(n88::kTokenRemark)});
            ++m_at;
            CopyRest(m_s.size());
        } else if (c == '?') {
            Emit(n88::kTokenPrint);
            ++m_at;
            m_lineNumbers = false;
        } else if (IsLetter(c)) {
            Letters();
        } else if (IsDigit(c) || (c == '.' && IsDigit(At(m_at + 1)))) {
            Number();
        } else if (c == '&') {
            Radix();
        } else if (c == '*' && IsLetter(At(m_at + 1)) && AtLabelPlace()) {
            Label();
        } else if (const n88::SToken* op = Operator(c)) {
            Emit(op->code);
            ++m_at;
            if (c != '-')
                m_lineNumbers = false;
        } else {
            m_out.push_back(c);
            ++m_at;
            if (c != ' ' && c != ',')
                m_lineNumbers = false;
        }
    }

    // Where a label (*NAME) stands: at a statement's start and where a line
    // number could.
    bool AtLabelPlace() const {
        if (m_lineNumbers)
            return true;
        for (auto it = m_out.rbegin(); it != m_out.rend(); ++it) {
            if (*it != ' ')
                return *it == kColon;
        }
        return true;
    }

    // A label: the '*' and its name as letters, reserved words and all.
    void Label() {
        Emit(Operator('*')->code);
        ++m_at;
        while (IsLetter(At(m_at)) || IsDigit(At(m_at)))
            m_out.push_back(Upper(At(m_at++)));
        m_lineNumbers = false;
    }

    static const n88::SToken* Operator(std::uint8_t c) {
        for (const n88::SToken& t : n88::GetTokens()) {
            if (t.word.size() == 1 && static_cast<std::uint8_t>(t.word[0]) == c && c != '\'')
                return &t;
        }
        return nullptr;
    }

    // The longest reserved word at m_at that no letter or digit follows
    // (words ending in $ or (, USR, FN and REM excepted), as N88-BASIC's own
    // scanner takes them; names may hold reserved words (LINES).
    const n88::SToken* MatchWord(std::size_t& length) const {
        const n88::SToken* best = nullptr;
        length = 0;
        for (const n88::SToken& t : n88::GetTokens()) {
            const std::string_view w = t.word;
            if (!IsLetter(static_cast<std::uint8_t>(w[0])) || w.size() <= length ||
                m_at + w.size() > m_s.size())
                continue;
            bool same = true;
            for (std::size_t k = 0; k < w.size() && same; ++k)
                same = Upper(At(m_at + k)) == static_cast<std::uint8_t>(w[k]);
            if (!same)
                continue;
            const std::uint8_t after = At(m_at + w.size());
            const bool glued = IsLetter(after) || IsDigit(after);
            if (glued && w != "USR" && w != "FN" && w != "REM" && w.back() != '$' &&
                w.back() != '(')
                continue;
            best = &t;
            length = w.size();
        }
        return best;
    }

    void Letters() {
        std::size_t length = 0;
        const n88::SToken* token = MatchWord(length);
        if (token == nullptr) {
            // A name, in upper case, with its type mark.
            while (IsLetter(At(m_at)) || IsDigit(At(m_at)))
                m_out.push_back(Upper(At(m_at++)));
            const std::uint8_t mark = At(m_at);
            if (mark == '%' || mark == '!' || mark == '#' || mark == '$')
                m_out.push_back(At(m_at++));
            m_lineNumbers = false;
            return;
        }
        m_at += length;
        if (token->code == n88::kTokenElse)
            m_out.push_back(kColon);
        Emit(token->code);
        m_lineNumbers = n88::TakesLineNumber(token->code);
        if (token->code == n88::kTokenRem) {
            CopyRest(m_s.size());
        } else if (token->code == n88::kTokenData) {
            bool quoted = false;
            std::size_t end = m_at;
            while (end < m_s.size() && (quoted || m_s[end] != ':')) {
                quoted = m_s[end] == '"' ? !quoted : quoted;
                ++end;
            }
            CopyRest(end);
        }
    }

    void Number() {
        const std::size_t start = m_at;
        std::size_t i = m_at;
        int digits = 0;
        bool leading = true;
        auto takeDigits = [&] {
            while (IsDigit(At(i))) {
                leading = leading && At(i) == '0';
                digits += leading ? 0 : 1;
                ++i;
            }
        };
        takeDigits();
        bool point = false;
        if (At(i) == '.') {
            point = true;
            ++i;
            takeDigits();
        }
        char exponent = 0;
        const std::uint8_t e = Upper(At(i));
        if ((e == 'E' || e == 'D') &&
            (IsDigit(At(i + 1)) ||
             ((At(i + 1) == '+' || At(i + 1) == '-') && IsDigit(At(i + 2))))) {
            exponent = static_cast<char>(e);
            i += 2;
            while (IsDigit(At(i)))
                ++i;
        }
        std::string text(m_s.substr(start, i - start));
        for (char& ch : text)
            ch = (ch == 'D' || ch == 'd') ? 'E' : ch;
        const long double value = std::strtold(text.c_str(), nullptr);
        const std::uint8_t mark = At(i);
        const bool hasMark = mark == '%' || mark == '!' || mark == '#';
        m_at = hasMark ? i + 1 : i;

        if (m_lineNumbers && !point && exponent == 0 && !hasMark) {
            if (value > kMaxLineNumber)
                Fail("line number " + text + " is above " + std::to_string(kMaxLineNumber));
            Word16(0x0E, static_cast<unsigned>(value));
            return;
        }
        m_lineNumbers = false;
        const bool integral = !point && exponent == 0;
        if (mark == '%' || (integral && !hasMark && value <= kIntegerMax)) {
            if (value != std::floor(value) || value > kIntegerMax)
                Fail("overflow: " + text + "% is not an integer from -32768 to 32767");
            const auto n = static_cast<unsigned>(value);
            if (n <= 9) {
                m_out.push_back(static_cast<std::uint8_t>(0x11 + n));
            } else if (n <= 0xFF) {
                m_out.push_back(0x0F);
                m_out.push_back(static_cast<std::uint8_t>(n));
            } else {
                Word16(0x1C, n);
            }
            return;
        }
        const bool isDouble =
            mark == '#' || exponent == 'D' || (digits > kSingleDigits && mark != '!');
        const std::size_t size = isDouble ? kMbfDoubleSize : kMbfSingleSize;
        const auto bytes = ValueToMbf(value, size);
        if (!bytes)
            Fail("overflow: " + text + " is too large");
        m_out.push_back(isDouble ? 0x1F : 0x1D);
        m_out.insert(m_out.end(), bytes->begin(), bytes->end());
    }

    // &H and &O (or & and an octal digit) constants.
    void Radix() {
        const std::uint8_t kind = Upper(At(m_at + 1));
        const bool hex = kind == 'H';
        std::size_t i = m_at + ((hex || kind == 'O') ? 2 : 1);
        const int base = hex ? 16 : 8;
        auto digit = [&](std::uint8_t c) -> int {
            c = Upper(c);
            if (c >= '0' && c <= '9' && c - '0' < base)
                return c - '0';
            if (hex && c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return -1;
        };
        if (digit(At(i)) < 0) {
            m_out.push_back('&');
            ++m_at;
            m_lineNumbers = false;
            return;
        }
        unsigned long value = 0;
        for (; digit(At(i)) >= 0; ++i) {
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit(At(i)));
            if (value > 0xFFFF)
                Fail("overflow: " + std::string(m_s.substr(m_at, i + 1 - m_at)) +
                     " is above 65535");
        }
        Word16(hex ? 0x0C : 0x0B, static_cast<unsigned>(value));
        m_at = i;
        m_lineNumbers = false;
    }

    std::string_view m_s;
    unsigned m_nLine;
    std::size_t m_at = 0;
    bool m_lineNumbers = false;
    std::vector<std::uint8_t> m_out;
};

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<std::uint8_t>(s[i]);
        const std::size_t n = b < 0x80         ? 1
                              : (b >> 5) == 6  ? 2
                              : (b >> 4) == 14 ? 3
                              : (b >> 3) == 30 ? 4
                                               : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<std::uint8_t>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += n;
    }
    return true;
}

// One text line in the PC-8801's code; nothing when a character is not
// one the PC-8801 has (kanji, symbols beyond ASCII) or a control character.
std::optional<std::string> ToPc8801(std::string_view line, bool utf8) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        const auto b = static_cast<std::uint8_t>(line[i]);
        // Control characters are no part of LIST's form; stored, they would
        // read as line ends and number forms.
        if (b < 0x20 || b == 0x7F)
            return std::nullopt;
        if (!utf8) {
            if (b >= 0x80 && !(b >= 0xA1 && b <= 0xDF))
                return std::nullopt;
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        // U+00A5, the yen sign, is how the PC-8801 shows 0x5C.
        if (b == 0xC2 && i + 1 < line.size() && static_cast<std::uint8_t>(line[i + 1]) == 0xA5) {
            out += static_cast<char>(kYen);
            i += 2;
            continue;
        }
        std::size_t used = 0;
        const std::optional<std::uint8_t> c = DecodeUtf8Char(line, i, used);
        if (!c)
            return std::nullopt;
        out += static_cast<char>(*c);
        i += used;
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> CrunchLine(std::string_view text, unsigned nLine) {
    return CCruncher(text, nLine).Run();
}

bool EncodeFileName(std::string_view text, std::vector<std::uint8_t>& name) {
    const std::optional<std::string> code = ToPc8801(text, true);
    if (!code || code->size() > kFileNameSize)
        return false;
    name.assign(code->begin(), code->end());
    for (std::uint8_t c : name) {
        if (!IsShownChar(c))
            return false;
    }
    return true;
}

CTapeBlock BuildBasicBlock(std::string_view listing, const std::vector<std::uint8_t>& name,
                           int nBaud) {
    const bool utf8 = IsValidUtf8(listing);
    std::map<unsigned, std::vector<std::uint8_t>> lines; // a number typed again replaces
    unsigned place = 0;
    for (std::size_t at = 0; at < listing.size();) {
        std::size_t end = listing.find('\n', at);
        if (end == std::string_view::npos)
            end = listing.size();
        std::string_view line = listing.substr(at, end - at);
        at = end + 1;
        ++place;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::size_t i = 0;
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i == line.size())
            continue; // blank lines are no program lines
        unsigned long number = 0;
        const std::size_t digitsFrom = i;
        while (i < line.size() && IsDigit(static_cast<std::uint8_t>(line[i])) &&
               number <= kMaxLineNumber)
            number = number * 10 + static_cast<unsigned>(line[i++] - '0');
        if (i == digitsFrom)
            throw CBasicTextError(place, false, "the line does not begin with a line number");
        if (number > kMaxLineNumber)
            throw CBasicTextError(place, false,
                                  "line numbers go up to " + std::to_string(kMaxLineNumber));
        if (i < line.size() && line[i] == ' ')
            ++i; // LIST's blank after the number
        const auto nLine = static_cast<unsigned>(number);
        const std::optional<std::string> text = ToPc8801(line.substr(i), utf8);
        if (!text)
            throw CBasicTextError(nLine, true,
                                  "a character that the PC-8801 has not, or a control character "
                                  "(printable ASCII and half-width katakana only)");
        if (text->empty()) {
            lines.erase(nLine); // a bare number deletes its line, as typed
            continue;
        }
        lines[nLine] = CrunchLine(*text, nLine);
    }

    CTapeBlock block;
    block.m_nBaud = nBaud;
    ByteArray& b = block.m_data;
    b.assign(kBasicLeadCount, kBasicLeadByte);
    b.insert(b.end(), name.begin(), name.end());
    b.resize(kBasicHeaderSize, 0x00);
    for (const auto& [number, tokens] : lines) {
        const std::size_t next = b.size() + 4 + tokens.size() + 1;
        const std::size_t address = kTextAreaAddress + (next - kBasicHeaderSize);
        if (address > 0xFFFF)
            throw CBasicTextError(number, true, "the program does not fit in the PC-8801's memory");
        b.push_back(static_cast<std::uint8_t>(address & 0xFF));
        b.push_back(static_cast<std::uint8_t>(address >> 8));
        b.push_back(static_cast<std::uint8_t>(number & 0xFF));
        b.push_back(static_cast<std::uint8_t>(number >> 8));
        b.insert(b.end(), tokens.begin(), tokens.end());
        b.push_back(0x00);
    }
    b.insert(b.end(), 2 + kCsaveTailZeros, 0x00);
    return block;
}

} // namespace inspect
