// SPDX-License-Identifier: GPL-3.0-or-later
// A strict N88-BASIC interpreter: the language Grebe is written in and
// nothing looser, run against the machine through CBasicHost.
//
// The language: numbered lines and *labels; REM and '; statements joined by
// ':'; integer, single-precision (!) and string ($) variables, DEFINT;
// + - * / MOD, comparisons of numbers and of strings, AND, OR;
// FOR/TO/STEP/NEXT; IF/THEN/ELSE; GOTO, GOSUB, RETURN; READ, DATA, RESTORE;
// POKE, PEEK; VAL, HEX$, RIGHT$, MID$, LEN, CHR$, ASC, INPUT$, INKEY$;
// PRINT (also PRINT #n); OPEN "COM:..." FOR OUTPUT AS #n; CLOSE; DEF USRn
// and USRn(); CLEAR; SCREEN; BEEP; END. Direct mode adds LOAD "COM:...",
// RUN, LIST and NEW. Any other reserved word of N88-BASIC stops with
// "Unsupported statement"; everything malformed stops with N88-BASIC's own
// error ("Syntax error in 1230").
//
// Lines are scanned into tokens when they are stored; running walks the
// tokens. Each statement tells the host the machine time it takes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pc88/BasicHost.h"
#include "pc88/N88Tokens.h"
#include "pc88/N88Value.h"

namespace pc88 {

// How a console session ended.
struct SBasicOutcome {
    enum class EKind { Ended, Error };
    EKind kind = EKind::Ended;
    // For an error: the message as printed ("Syntax error in 1230").
    std::string message;
};

class CN88Basic {
  public:
    // Machine time of one statement, in T-states of the 4 MHz clock: 1 ms,
    // an estimate for a simple statement of Microsoft's Z80 BASIC (about a
    // thousand simple statements a second at 4 MHz). Grebe's statements are
    // of that kind; its real work is in the routine, which the machine runs
    // and times itself.
    static constexpr std::uint64_t kStatementTStates = 4000;
    // Columns of the text screen and of a PRINT zone.
    static constexpr int kScreenWidth = 80;
    static constexpr int kZoneWidth = 14;
    // The longest line the console takes, typed or loaded.
    static constexpr std::size_t kMaxLineLength = 255;
    // The stack N88-BASIC keeps FOR and GOSUB on, and the operations an
    // expression leaves pending: 512 bytes unless CLEAR says otherwise. A
    // GOSUB takes 5 bytes (the GOSUB mark, the line number and the place in
    // it), a FOR 16 (the mark, the variable, the sign of the step, the step
    // and the limit, the line number and the place), each level of an
    // expression (a parenthesis, a function's argument, a sign) about 12 (a
    // pending operator with its operand and the calls that evaluate it).
    // Beyond the stack: "Out of memory".
    static constexpr std::size_t kStackBytes = 512;
    static constexpr std::size_t kGosubBytes = 5;
    static constexpr std::size_t kForBytes = 16;
    static constexpr std::size_t kExpressionLevelBytes = 12;

    explicit CN88Basic(CBasicHost& host);

    // The console as the machine starts it: prints "Ok", then reads lines
    // from the keyboard with echo and stores or runs them, until END runs
    // (Ended) or a program stops with an error (Error; the message is also
    // on the screen). An error in a direct statement is printed and the
    // console goes on. CHostStop from the host passes through.
    SBasicOutcome RunConsole();

    // What the console does with one line it has read: a numbered line is
    // stored (or, with nothing after its number, deleted); any other runs
    // as a direct statement. Throws CBasicError when it stops with an error
    // (without printing it) and returns true when END ran.
    bool EnterLine(std::string_view line);

    // The program as LIST prints it, every line ended with CR LF.
    std::string GetListing() const;
    // Variables as the program left them, for tests: nothing when unset.
    std::optional<SValue> GetVariable(std::string_view name) const;

  private:
    struct SStoredLine {
        std::uint16_t number = 0;
        STokenLine tokens;
    };
    // A place in the program: a line (kDirect for the direct line) and a
    // token in it.
    struct SPos {
        int line = 0;
        std::uint32_t tok = 0;
    };
    static constexpr int kDirect = -1;
    struct SVar {
        std::int16_t i = 0;
        float f = 0;
        std::string s;
        std::uint8_t set = 0; // bit per EType once assigned
    };
    struct SVarRef {
        int name = 0;
        EType type = EType::Single;
    };
    // An entry of the stack FOR and GOSUB share.
    struct SControl {
        bool isFor = false;
        SPos pos; // FOR: after the FOR statement; GOSUB: after the GOSUB
        SVarRef var;
        double limit = 0;
        double step = 0;
        bool skip = false; // FOR whose body is not run: its NEXT only ends it
    };
    struct SDataPos {
        int line = 0;
        std::uint32_t tok = 0; // the DATA statement's Text token, or 0 for none yet
        std::uint32_t offset = 0;
    };

    // Console.
    std::string ReadConsoleLine();
    void PrintErrorOnScreen(const CBasicError& error);
    void Out(std::string_view text);
    void NewLineIfNeeded();

    // Program store.
    void EnterNumberedLine(std::string_view line);
    void StoreLine(std::uint16_t number, std::string_view text);
    int FindLine(std::uint16_t number) const;
    const SStoredLine& Line(int index) const;
    int FindLabel(std::string_view name);
    void ResetRunState();
    void ClearVariables();

    // Running.
    void RunFrom(SPos pos);
    bool ExecuteStatement();
    std::optional<std::uint16_t> CurrentLineNumber() const;

    // Token access.
    const SToken& Tok() const { return m_pTokens[m_pos.tok]; }
    const SToken& Peek(std::uint32_t ahead) const;
    void Advance() { ++m_pos.tok; }
    bool AtStatementEnd() const;
    void Expect(char punct);
    void ExpectKeyword(EKeyword keyword);
    bool TakePunct(char punct);
    bool TakeKeyword(EKeyword keyword);
    void SetPos(SPos pos);
    // Room for bytes more on BASIC's stack, else Out of memory.
    void ReserveStack(std::size_t bytes) const;
    void PushControl(const SControl& entry);
    std::string_view TokenText(const SToken& token) const;

    // Statements (N88Statements.cpp).
    void DoAssign();
    void DoPrint();
    bool DoIf();
    bool DoGoto(bool gosub);
    void DoReturn();
    bool DoFor();
    void DoNext();
    void DoRead();
    void DoRestore();
    void DoPoke();
    void DoDefint();
    void DoDef();
    void DoClear();
    void DoScreen();
    void DoOpen();
    void DoClose();
    void DoLoad();
    void DoList();
    bool DoRun();
    bool JumpTarget(bool gosub);
    SPos TargetOf(const SToken& token);
    SVarRef TakeVariable();
    void Assign(const SVarRef& var, const SValue& value);
    void SkipToLineEnd();
    void SkipToMatchingNext();
    bool NextDataItem(std::string& item, std::uint16_t& line);
    std::string FrameOf(std::string_view device) const;
    void CloseFiles();

    // Expressions (N88Expr.cpp).
    SValue Eval();
    SValue EvalNested(SValue (CN88Basic::*eval)());
    SValue EvalOr();
    SValue EvalAnd();
    SValue EvalRelation();
    SValue EvalAdd();
    SValue EvalMod();
    SValue EvalMul();
    SValue EvalUnary();
    SValue EvalPrimary();
    SValue EvalFunction(std::uint8_t keyword);
    SValue EvalUsr();
    std::size_t TakeUsrNumber();
    SValue EvalNumber();
    SValue EvalString();
    std::int16_t EvalInteger();
    SValue ReadVariable(const SVarRef& var) const;
    EType TypeOf(const SToken& name) const;

    CBasicHost& m_host;
    CNameTable m_names;
    std::vector<SStoredLine> m_lines;
    SStoredLine m_direct;
    std::vector<std::pair<std::string, int>> m_labels; // label -> line index
    bool m_bLabelsStale = true;

    // Running state.
    SPos m_pos;
    const SToken* m_pTokens = nullptr;
    const STokenLine* m_pLine = nullptr;
    bool m_bRunning = false;
    std::optional<std::string> m_pendingDirect; // the line that ended a LOAD
    std::vector<SVar> m_vars;
    bool m_defInt[26] = {};
    std::vector<SControl> m_control;
    std::size_t m_nExpressionDepth = 0; // expression levels under way
    SDataPos m_data;
    std::uint16_t m_usr[10] = {};
    bool m_usrDefined[10] = {};
    int m_nColumn = 0;    // console column, as far as BASIC printed it
    int m_nComFile = 0;   // file number of the open COM: file, 0 when none
    int m_nComColumn = 0; // column of the line being written to it
};

} // namespace pc88
