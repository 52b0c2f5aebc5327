// SPDX-License-Identifier: GPL-3.0-or-later
#include "pc88/N88Tokens.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

#include "inspect/N88TokenTable.h"
#include "pc88/N88Value.h"

namespace pc88 {
namespace {

constexpr std::size_t kNameSignificant = 40;
// More digits than this in a constant make it double precision.
constexpr int kSingleConstantDigits = 7;

struct SWord {
    std::string_view text;
    bool statement; // a statement word (for words beyond the language)
};

// The language's words, in EKeyword order.
constexpr std::array<std::string_view, static_cast<std::size_t>(EKeyword::FirstUnsupported)>
    kLanguageWords = {
        "REM",   "DATA",   "READ",  "RESTORE", "IF",     "THEN",  "ELSE",   "FOR",    "TO",
        "STEP",  "NEXT",   "GOTO",  "GOSUB",   "RETURN", "PRINT", "POKE",   "PEEK",   "DEFINT",
        "DEF",   "USR",    "CLEAR", "SCREEN",  "BEEP",   "END",   "OPEN",   "OUTPUT", "AS",
        "CLOSE", "LOAD",   "RUN",   "LIST",    "NEW",    "AND",   "OR",     "MOD",    "VAL",
        "HEX$",  "RIGHT$", "MID$",  "LEN",     "CHR$",   "ASC",   "INPUT$", "INKEY$",
};

// Words this scanner reserves beyond N88-BASIC's token table (which the
// PC-8801 keeps as letters), so that a program using one is refused rather
// than run with a variable of that name.
constexpr SWord kBeyondTable[] = {{"DRAW", true}, {"SOUND", true}, {"APPEND", true}};

bool IsLanguageWord(std::string_view word) {
    return std::find(kLanguageWords.begin(), kLanguageWords.end(), word) != kLanguageWords.end();
}

// N88-BASIC's other reserved words: statements, functions and operators
// that the language leaves out, from the token table the lister and the
// cruncher share.
const std::vector<SWord>& OtherWords() {
    static const std::vector<SWord> words = [] {
        std::vector<SWord> list;
        for (const n88::SToken& token : n88::GetTokens()) {
            const char first = token.word[0];
            if (first >= 'A' && first <= 'Z' && !IsLanguageWord(token.word))
                list.push_back({token.word, token.statement});
        }
        list.insert(list.end(), std::begin(kBeyondTable), std::end(kBeyondTable));
        return list;
    }();
    return words;
}

constexpr std::uint8_t kFirstOther = static_cast<std::uint8_t>(EKeyword::FirstUnsupported);

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlnum(char c) {
    return IsLetter(c) || IsDigit(c);
}
char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view WordText(std::uint8_t id) {
    if (id < kFirstOther)
        return kLanguageWords[id];
    return OtherWords()[id - kFirstOther].text;
}
std::size_t WordCount() {
    return kLanguageWords.size() + OtherWords().size();
}

// The reserved word that begins at text[at], if any: the longest one that
// no letter or digit follows (USR and FN excepted). Returns its length.
std::size_t MatchWord(std::string_view text, std::size_t at, std::uint8_t& id) {
    std::size_t best = 0;
    for (std::size_t w = 0; w < WordCount(); ++w) {
        const std::string_view word = WordText(static_cast<std::uint8_t>(w));
        if (word.size() <= best || at + word.size() > text.size())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < word.size() && same; ++k)
            same = Upper(text[at + k]) == word[k];
        if (!same)
            continue;
        const std::size_t after = at + word.size();
        const bool glued = after < text.size() && IsAlnum(text[after]);
        const bool takesGlued = word == "USR" || word == "FN";
        if (glued && !takesGlued && word.back() != '$' && word.back() != '(')
            continue;
        best = word.size();
        id = static_cast<std::uint8_t>(w);
    }
    return best;
}

// The most characters a token's 16-bit length holds.
constexpr std::size_t kMaxPooledLength = 0xFFFF;

class CScanner {
  public:
    CScanner(std::string_view text, CNameTable& names) : m_text(text), m_names(names) {}

    STokenLine Run() {
        while (m_at < m_text.size())
            ScanOne();
        m_line.tokens.push_back(SToken{});
        return std::move(m_line);
    }

  private:
    void Push(SToken t) { m_line.tokens.push_back(t); }

    void PushPunct(char c) {
        SToken t;
        t.kind = ETokenKind::Punct;
        t.sub = static_cast<std::uint8_t>(c);
        Push(t);
    }

    void PushFault(EBasicError error) {
        SToken t;
        t.kind = ETokenKind::Fault;
        t.sub = static_cast<std::uint8_t>(error);
        Push(t);
    }

    // Copies text[from, to) into the pool and the listing unchanged.
    SToken Pooled(ETokenKind kind, std::size_t from, std::size_t to) {
        SToken t;
        t.kind = kind;
        t.i = static_cast<std::int32_t>(m_line.pool.size());
        if (to - from > kMaxPooledLength) {
            // Longer than a token can say: no line of the language is.
            t.kind = ETokenKind::Fault;
            t.sub = static_cast<std::uint8_t>(EBasicError::LineBufferOverflow);
            return t;
        }
        t.len = static_cast<std::uint16_t>(to - from);
        m_line.pool.append(m_text.substr(from, to - from));
        return t;
    }

    // Is the token list at a place where a statement or a jump target
    // begins (so that '*' starts a label rather than a multiplication)?
    bool AtTargetPlace() const {
        if (m_line.tokens.empty())
            return true;
        const SToken& last = m_line.tokens.back();
        if (last.IsPunct(':'))
            return true;
        return last.IsKeyword(EKeyword::Then) || last.IsKeyword(EKeyword::Else) ||
               last.IsKeyword(EKeyword::Goto) || last.IsKeyword(EKeyword::Gosub) ||
               last.IsKeyword(EKeyword::Restore);
    }

    void ScanOne() {
        const char c = m_text[m_at];
        if (c == ' ' || c == '\t') {
            m_line.listText += c;
            ++m_at;
        } else if (c == '"') {
            ScanString();
        } else if (c == '\'') {
            // A remark to the end of the line; it ends the statement before it.
            if (!m_line.tokens.empty() && !m_line.tokens.back().IsPunct(':'))
                PushPunct(':');
            SToken rem;
            rem.kind = ETokenKind::Keyword;
            rem.sub = static_cast<std::uint8_t>(EKeyword::Rem);
            Push(rem);
            Push(Pooled(ETokenKind::Text, m_at + 1, m_text.size()));
            m_line.listText.append(m_text.substr(m_at));
            m_at = m_text.size();
        } else if (c == '*' && AtTargetPlace() && m_at + 1 < m_text.size() &&
                   IsLetter(m_text[m_at + 1])) {
            ScanLabel();
        } else if (IsLetter(c)) {
            ScanWord();
        } else if (IsDigit(c) || c == '.' || c == '&') {
            ScanNumber();
        } else if (c == '?') {
            SToken print;
            print.kind = ETokenKind::Keyword;
            print.sub = static_cast<std::uint8_t>(EKeyword::Print);
            Push(print);
            m_line.listText += c;
            ++m_at;
        } else {
            PushPunct(c);
            m_line.listText += c;
            ++m_at;
        }
    }

    void ScanString() {
        // A string without its closing quote runs to the end of the line.
        std::size_t end = m_text.find('"', m_at + 1);
        const bool closed = end != std::string_view::npos;
        if (!closed)
            end = m_text.size();
        if (end - m_at - 1 > kMaxStringLength)
            PushFault(EBasicError::StringTooLong);
        else
            Push(Pooled(ETokenKind::String, m_at + 1, end));
        const std::size_t next = closed ? end + 1 : end;
        m_line.listText.append(m_text.substr(m_at, next - m_at));
        m_at = next;
    }

    void ScanLabel() {
        std::size_t end = m_at + 1;
        while (end < m_text.size() && IsAlnum(m_text[end]))
            ++end;
        if (end - m_at - 1 > kMaxPooledLength) {
            PushFault(EBasicError::LineBufferOverflow);
            AppendListed(m_at, end - m_at);
            return;
        }
        SToken t;
        t.kind = ETokenKind::Label;
        t.i = static_cast<std::int32_t>(m_line.pool.size());
        t.len = static_cast<std::uint16_t>(end - m_at - 1);
        for (std::size_t k = m_at; k < end; ++k) {
            if (k > m_at)
                m_line.pool += Upper(m_text[k]);
            m_line.listText += Upper(m_text[k]);
        }
        Push(t);
        m_at = end;
    }

    void ScanWord() {
        std::uint8_t id = 0;
        const std::size_t wordLength = MatchWord(m_text, m_at, id);
        if (wordLength > 0) {
            SToken t;
            t.kind = ETokenKind::Keyword;
            t.sub = id;
            Push(t);
            m_line.listText.append(WordText(id));
            m_at += wordLength;
            if (id == static_cast<std::uint8_t>(EKeyword::Rem))
                TakeRestAsText(m_text.size());
            else if (id == static_cast<std::uint8_t>(EKeyword::Data))
                TakeRestAsText(DataEnd());
            return;
        }
        std::size_t end = m_at;
        std::string name;
        while (end < m_text.size() && IsAlnum(m_text[end])) {
            if (name.size() < kNameSignificant)
                name += Upper(m_text[end]);
            m_line.listText += Upper(m_text[end]);
            ++end;
        }
        SToken t;
        t.kind = ETokenKind::Name;
        t.i = m_names.Intern(name);
        if (end < m_text.size() && (m_text[end] == '%' || m_text[end] == '!' ||
                                    m_text[end] == '$' || m_text[end] == '#')) {
            t.sub = static_cast<std::uint8_t>(m_text[end]);
            m_line.listText += m_text[end];
            ++end;
        }
        Push(t);
        m_at = end;
    }

    // A DATA statement's items end at a colon outside quotes; a quote left
    // open runs to the end of the line.
    std::size_t DataEnd() const {
        bool quoted = false;
        for (std::size_t k = m_at; k < m_text.size(); ++k) {
            if (m_text[k] == '"')
                quoted = !quoted;
            else if (m_text[k] == ':' && !quoted)
                return k;
        }
        return m_text.size();
    }

    void TakeRestAsText(std::size_t end) {
        Push(Pooled(ETokenKind::Text, m_at, end));
        m_line.listText.append(m_text.substr(m_at, end - m_at));
        m_at = end;
    }

    void ScanNumber() {
        const std::size_t start = m_at;
        const std::string_view rest = m_text.substr(m_at);
        if (rest[0] == '&' && (rest.size() < 2 || (rest[1] != 'H' && rest[1] != 'h'))) {
            // &O and & with octal digits: octal constants, outside the language.
            if (rest.size() >= 2 && (rest[1] == 'O' || rest[1] == 'o' || IsDigit(rest[1]))) {
                std::size_t end = 2;
                while (end < rest.size() && IsDigit(rest[end]))
                    ++end;
                PushFault(EBasicError::Unsupported);
                m_line.listText.append(rest.substr(0, end));
                m_at += end;
            } else {
                PushPunct('&');
                m_line.listText += '&';
                ++m_at;
            }
            return;
        }
        std::size_t used = 0;
        std::optional<SValue> value;
        try {
            value = ParseNumber(rest, false, used);
        } catch (const SBasicFault& fault) {
            // Too many hexadecimal digits: the error comes when the line runs.
            used = 2;
            while (used < rest.size() && IsAlnum(rest[used]))
                ++used;
            PushFault(fault.error);
            AppendListed(start, used);
            return;
        }
        if (!value) {
            PushPunct(rest[0]);
            m_line.listText += rest[0];
            ++m_at;
            return;
        }
        const bool hex = rest[0] == '&';
        int digits = 0;
        for (std::size_t k = 0; k < used && !hex; ++k) {
            if (rest[k] == 'E' || rest[k] == 'e')
                break;
            digits += IsDigit(rest[k]) ? 1 : 0;
        }
        const char suffix = used < rest.size() ? rest[used] : '\0';
        SToken t;
        if (!hex && (suffix == '#' || suffix == 'D' || suffix == 'd' ||
                     (digits > kSingleConstantDigits && suffix != '!'))) {
            // Double precision, outside the language.
            if (suffix == '#')
                ++used;
            PushFault(EBasicError::Unsupported);
            AppendListed(start, used);
            return;
        }
        if (!hex && suffix == '%') {
            ++used;
            if (value->type != EType::Integer) {
                PushFault(EBasicError::Overflow);
                AppendListed(start, used);
                return;
            }
        } else if (!hex && suffix == '!') {
            ++used;
            value = SValue::Single(static_cast<float>(value->Number()));
        }
        if (value->type == EType::Integer) {
            t.kind = ETokenKind::Integer;
            t.i = value->i;
        } else {
            t.kind = ETokenKind::Single;
            t.f = value->f;
        }
        Push(t);
        AppendListed(start, used);
    }

    void AppendListed(std::size_t start, std::size_t used) {
        for (std::size_t k = 0; k < used; ++k)
            m_line.listText += Upper(m_text[start + k]);
        m_at = start + used;
    }

    std::string_view m_text;
    CNameTable& m_names;
    std::size_t m_at = 0;
    STokenLine m_line;
};

} // namespace

bool IsStatementWord(std::uint8_t keyword) {
    return keyword >= kFirstOther &&
           static_cast<std::size_t>(keyword - kFirstOther) < OtherWords().size() &&
           OtherWords()[keyword - kFirstOther].statement;
}

int CNameTable::Intern(std::string_view name) {
    const auto found = m_ids.find(std::string(name));
    if (found != m_ids.end())
        return found->second;
    const int id = static_cast<int>(m_names.size());
    m_names.emplace_back(name);
    m_ids.emplace(std::string(name), id);
    return id;
}

STokenLine TokenizeLine(std::string_view text, CNameTable& names) {
    return CScanner(text, names).Run();
}

} // namespace pc88
