// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner: one line of N88-BASIC text turned into tokens once, when the
// line is stored, so that running it never looks at the text again.
//
// Words are matched against N88-BASIC's reserved words the way its own
// scanner does: a reserved word counts only where a name would begin and
// when no letter or digit follows it directly, so names may contain
// reserved words (LINES is a name, not LINE and S). USR and FN are taken
// even when a digit or letter follows (USR1). Names are significant to 40
// characters.
//
// Tokens hold what running needs: reserved words as numbers, constants
// already converted, names as numbers in the interpreter's name table,
// strings, labels and the text of REM and DATA as places in the line's own
// text pool. Every token list ends with an End token.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pc88 {

// Every reserved word of N88-BASIC that this scanner knows. Those outside
// the language are known all the same, so that using one is refused as an
// unsupported statement rather than taken for a name.
enum class EKeyword : std::uint8_t {
    // The language.
    Rem,
    Data,
    Read,
    Restore,
    If,
    Then,
    Else,
    For,
    To,
    Step,
    Next,
    Goto,
    Gosub,
    Return,
    Print,
    Poke,
    Peek,
    Defint,
    Def,
    Usr,
    Clear,
    Screen,
    Beep,
    End,
    Open,
    Output,
    As,
    Close,
    Load,
    Run,
    List,
    New,
    And,
    Or,
    Mod,
    Val,
    HexS,
    RightS,
    MidS,
    Len,
    ChrS,
    Asc,
    InputS,
    InkeyS,
    // The first word that is outside the language.
    FirstUnsupported,
};

// Classes of reserved words beyond the language: a statement word in an
// expression is a syntax error, any other is unsupported.
bool IsStatementWord(std::uint8_t keyword);

enum class ETokenKind : std::uint8_t {
    End,
    Keyword, // sub: the EKeyword (or a word beyond the language)
    Integer, // i: the value
    Single,  // f: the value
    String,  // at, len: the characters in the pool
    Name,    // i: the name's number; sub: its suffix ('%', '!', '$', '#') or 0
    Label,   // at, len: the label's name (upper case) in the pool
    Text,    // at, len: the rest of a REM, or a DATA statement's items
    Punct,   // sub: the character (+ - * / = < > ( ) , ; : # and others)
    Fault,   // sub: the EBasicError that running this token raises
};

struct SToken {
    ETokenKind kind = ETokenKind::End;
    std::uint8_t sub = 0;
    std::uint16_t len = 0;
    std::int32_t i = 0;
    float f = 0;

    std::uint32_t At() const { return static_cast<std::uint32_t>(i); }
    bool IsKeyword(EKeyword k) const {
        return kind == ETokenKind::Keyword && sub == static_cast<std::uint8_t>(k);
    }
    bool IsPunct(char c) const { return kind == ETokenKind::Punct && sub == c; }
};

// Names by number; one table per interpreter, so a variable is an index.
class CNameTable {
  public:
    int Intern(std::string_view name);
    std::size_t GetCount() const { return m_names.size(); }
    const std::string& GetName(int id) const { return m_names[static_cast<std::size_t>(id)]; }

  private:
    std::unordered_map<std::string, int> m_ids;
    std::vector<std::string> m_names;
};

// One line's tokens, its text pool and its text as LIST shows it (letters
// outside strings, remarks and DATA in upper case).
struct STokenLine {
    std::vector<SToken> tokens;
    std::string pool;
    std::string listText;

    std::string_view Text(const SToken& t) const {
        return std::string_view(pool).substr(t.At(), t.len);
    }
};

// Scans the statements of one line (the text after its line number).
STokenLine TokenizeLine(std::string_view text, CNameTable& names);

} // namespace pc88
