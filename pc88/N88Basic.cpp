// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter's console, program store and statement loop.
#include "pc88/N88Basic.h"

#include <algorithm>

namespace pc88 {
namespace {

constexpr std::uint16_t kMaxLineNumber = 65529;
constexpr std::uint8_t kKeyReturn = 0x0D;
constexpr std::uint8_t kKeyBackspace = 0x08;
constexpr std::uint8_t kKeyDelete = 0x7F;

// END unwinds the running program to the console.
struct SEndSignal {};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

CN88Basic::CN88Basic(CBasicHost& host) : m_host(host) {
    m_direct.number = 0;
    m_direct.tokens = TokenizeLine("", m_names);
    SetPos({kDirect, 0});
}

// ---------------------------------------------------------------------------
// Console

SBasicOutcome CN88Basic::RunConsole() {
    Out("Ok\r\n");
    for (;;) {
        const std::string line = ReadConsoleLine();
        const std::size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos)
            continue;
        bool ended = false;
        try {
            ended = EnterLine(line);
        } catch (const CBasicError& error) {
            PrintErrorOnScreen(error);
            Out("Ok\r\n");
            if (error.GetLine())
                return {SBasicOutcome::EKind::Error, error.what()};
            continue;
        }
        if (IsDigit(line[first]))
            continue; // a stored line: no prompt
        NewLineIfNeeded();
        Out("Ok\r\n");
        if (ended)
            return {SBasicOutcome::EKind::Ended, {}};
    }
}

std::string CN88Basic::ReadConsoleLine() {
    std::string line;
    for (;;) {
        const std::uint8_t key = m_host.WaitKey();
        if (key == kKeyReturn) {
            Out("\r\n");
            return line;
        }
        if (key == kKeyBackspace || key == kKeyDelete) {
            if (!line.empty()) {
                line.pop_back();
                Out("\b \b");
            }
            continue;
        }
        if (key < 0x20 || line.size() >= kMaxLineLength)
            continue;
        line += static_cast<char>(key);
        Out(std::string_view(&line.back(), 1));
    }
}

void CN88Basic::PrintErrorOnScreen(const CBasicError& error) {
    NewLineIfNeeded();
    Out(error.what());
    Out("\r\n");
}

void CN88Basic::Out(std::string_view text) {
    for (const char c : text) {
        m_host.PutChar(static_cast<std::uint8_t>(c));
        if (c == '\r' || c == '\n')
            m_nColumn = 0;
        else if (c == '\b')
            m_nColumn = std::max(0, m_nColumn - 1);
        else if (++m_nColumn >= kScreenWidth)
            m_nColumn = 0; // the screen wraps to the next line
    }
}

void CN88Basic::NewLineIfNeeded() {
    if (m_nColumn != 0)
        Out("\r\n");
}

bool CN88Basic::EnterLine(std::string_view line) {
    try {
        const std::size_t first = line.find_first_not_of(' ');
        if (first == std::string_view::npos)
            return false;
        line.remove_prefix(first);
        if (line.size() > kMaxLineLength)
            Fail(EBasicError::LineBufferOverflow);
        if (IsDigit(line[0])) {
            EnterNumberedLine(line);
            return false;
        }
        std::string text(line);
        for (;;) {
            m_direct.tokens = TokenizeLine(text, m_names);
            RunFrom({kDirect, 0});
            // Back at the console: the GOSUBs and FORs still open are
            // forgotten, as the stack is reset for the next line.
            m_control.clear();
            if (!m_pendingDirect)
                return false;
            text = std::move(*m_pendingDirect);
            m_pendingDirect.reset();
        }
    } catch (const SBasicFault& fault) {
        const CBasicError error(fault.error, fault.line ? fault.line : CurrentLineNumber());
        m_bRunning = false;
        m_control.clear();
        m_pendingDirect.reset();
        throw error;
    } catch (const SEndSignal&) {
        m_bRunning = false;
        m_control.clear();
        m_pendingDirect.reset();
        CloseFiles();
        SetPos({kDirect, 0});
        return true;
    }
}

std::string CN88Basic::GetListing() const {
    std::string text;
    for (const SStoredLine& line : m_lines) {
        text += std::to_string(line.number);
        text += ' ';
        text += line.tokens.listText;
        text += "\r\n";
    }
    return text;
}

std::optional<SValue> CN88Basic::GetVariable(std::string_view name) const {
    std::string base(name);
    EType type = EType::Single;
    if (!base.empty() && (base.back() == '%' || base.back() == '!' || base.back() == '$')) {
        type = base.back() == '%'   ? EType::Integer
               : base.back() == '$' ? EType::String
                                    : EType::Single;
        base.pop_back();
    } else if (!base.empty() && base[0] >= 'A' && base[0] <= 'Z' && m_defInt[base[0] - 'A']) {
        type = EType::Integer;
    }
    for (std::size_t id = 0; id < m_names.GetCount(); ++id) {
        if (m_names.GetName(static_cast<int>(id)) != base || id >= m_vars.size())
            continue;
        const SVar& var = m_vars[id];
        if (!(var.set & (1u << static_cast<unsigned>(type))))
            return std::nullopt;
        return ReadVariable({static_cast<int>(id), type});
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Program store

void CN88Basic::EnterNumberedLine(std::string_view line) {
    std::size_t at = 0;
    unsigned number = 0;
    while (at < line.size() && IsDigit(line[at])) {
        number = number * 10 + static_cast<unsigned>(line[at] - '0');
        if (number > kMaxLineNumber)
            Fail(EBasicError::Syntax);
        ++at;
    }
    // One blank separates the number from the statements.
    if (at < line.size() && line[at] == ' ')
        ++at;
    StoreLine(static_cast<std::uint16_t>(number), line.substr(at));
}

void CN88Basic::StoreLine(std::uint16_t number, std::string_view text) {
    const auto at =
        std::lower_bound(m_lines.begin(), m_lines.end(), number,
                         [](const SStoredLine& line, std::uint16_t n) { return line.number < n; });
    const bool exists = at != m_lines.end() && at->number == number;
    if (text.find_first_not_of(' ') == std::string_view::npos) {
        // A number alone deletes its line.
        if (!exists)
            Fail(EBasicError::UndefinedLine);
        m_lines.erase(at);
    } else if (exists) {
        at->tokens = TokenizeLine(text, m_names);
    } else {
        SStoredLine line;
        line.number = number;
        line.tokens = TokenizeLine(text, m_names);
        m_lines.insert(at, std::move(line));
    }
    m_bLabelsStale = true;
    // Editing the program forgets the variables, as N88-BASIC does.
    ClearVariables();
}

int CN88Basic::FindLine(std::uint16_t number) const {
    const auto at =
        std::lower_bound(m_lines.begin(), m_lines.end(), number,
                         [](const SStoredLine& line, std::uint16_t n) { return line.number < n; });
    if (at == m_lines.end() || at->number != number)
        Fail(EBasicError::UndefinedLine);
    return static_cast<int>(at - m_lines.begin());
}

const CN88Basic::SStoredLine& CN88Basic::Line(int index) const {
    return index == kDirect ? m_direct : m_lines[static_cast<std::size_t>(index)];
}

int CN88Basic::FindLabel(std::string_view name) {
    if (m_bLabelsStale) {
        // A label is the first statement of its line; the first line that
        // carries a name defines it.
        m_labels.clear();
        for (std::size_t k = 0; k < m_lines.size(); ++k) {
            const STokenLine& line = m_lines[k].tokens;
            const SToken& first = line.tokens.front();
            if (first.kind != ETokenKind::Label)
                continue;
            std::string label(line.Text(first));
            const bool known = std::any_of(m_labels.begin(), m_labels.end(),
                                           [&](const auto& entry) { return entry.first == label; });
            if (!known)
                m_labels.emplace_back(std::move(label), static_cast<int>(k));
        }
        std::sort(m_labels.begin(), m_labels.end());
        m_bLabelsStale = false;
    }
    const auto at = std::lower_bound(
        m_labels.begin(), m_labels.end(), name,
        [](const auto& entry, std::string_view n) { return std::string_view(entry.first) < n; });
    if (at == m_labels.end() || at->first != name)
        Fail(EBasicError::UndefinedLine);
    return at->second;
}

void CN88Basic::ClearVariables() {
    m_vars.clear();
    std::fill(std::begin(m_defInt), std::end(m_defInt), false);
    m_control.clear();
    m_data = SDataPos{};
}

void CN88Basic::ResetRunState() {
    ClearVariables();
    CloseFiles();
}

// ---------------------------------------------------------------------------
// Running

void CN88Basic::RunFrom(SPos pos) {
    SetPos(pos);
    m_bRunning = true;
    bool atStatement = true;
    for (;;) {
        if (!atStatement) {
            const SToken& t = Tok();
            if (t.IsPunct(':')) {
                Advance();
                atStatement = true;
                continue;
            }
            if (t.kind == ETokenKind::End) {
                if (m_pos.line == kDirect ||
                    static_cast<std::size_t>(m_pos.line) + 1 >= m_lines.size())
                    break; // the program ran off its last line: back to the console
                SetPos({m_pos.line + 1, 0});
                atStatement = true;
                continue;
            }
            if (t.IsKeyword(EKeyword::Else)) {
                // The end of a THEN branch that ran.
                SkipToLineEnd();
                continue;
            }
            Fail(EBasicError::Syntax);
        }
        if (Tok().kind == ETokenKind::End || Tok().IsPunct(':')) {
            atStatement = false; // an empty statement
            continue;
        }
        m_host.Elapse(kStatementTStates);
        atStatement = ExecuteStatement();
    }
    m_bRunning = false;
}

std::optional<std::uint16_t> CN88Basic::CurrentLineNumber() const {
    if (!m_bRunning || m_pos.line == kDirect)
        return std::nullopt;
    return Line(m_pos.line).number;
}

const SToken& CN88Basic::Peek(std::uint32_t ahead) const {
    std::uint32_t at = m_pos.tok;
    while (ahead-- > 0 && m_pTokens[at].kind != ETokenKind::End)
        ++at;
    return m_pTokens[at];
}

bool CN88Basic::AtStatementEnd() const {
    const SToken& t = Tok();
    return t.kind == ETokenKind::End || t.IsPunct(':') || t.IsKeyword(EKeyword::Else);
}

void CN88Basic::Expect(char punct) {
    if (!TakePunct(punct))
        Fail(EBasicError::Syntax);
}

void CN88Basic::ExpectKeyword(EKeyword keyword) {
    if (!TakeKeyword(keyword))
        Fail(EBasicError::Syntax);
}

bool CN88Basic::TakePunct(char punct) {
    if (!Tok().IsPunct(punct))
        return false;
    Advance();
    return true;
}

bool CN88Basic::TakeKeyword(EKeyword keyword) {
    if (!Tok().IsKeyword(keyword))
        return false;
    Advance();
    return true;
}

void CN88Basic::ReserveStack(std::size_t bytes) const {
    std::size_t used = m_nExpressionDepth * kExpressionLevelBytes;
    for (const SControl& entry : m_control)
        used += entry.isFor ? kForBytes : kGosubBytes;
    if (used + bytes > kStackBytes)
        Fail(EBasicError::OutOfMemory);
}

void CN88Basic::PushControl(const SControl& entry) {
    ReserveStack(entry.isFor ? kForBytes : kGosubBytes);
    m_control.push_back(entry);
}

void CN88Basic::SetPos(SPos pos) {
    m_pos = pos;
    m_pLine = &Line(pos.line).tokens;
    m_pTokens = m_pLine->tokens.data();
}

std::string_view CN88Basic::TokenText(const SToken& token) const {
    return m_pLine->Text(token);
}

bool CN88Basic::ExecuteStatement() {
    const SToken& t = Tok();
    switch (t.kind) {
    case ETokenKind::Name:
        DoAssign();
        return false;
    case ETokenKind::Label:
        // A label line: the label is a statement of its own, doing nothing.
        if (m_pos.tok != 0)
            Fail(EBasicError::Syntax);
        Advance();
        return false;
    case ETokenKind::Fault:
        Fail(static_cast<EBasicError>(t.sub));
    case ETokenKind::Keyword:
        break;
    default:
        Fail(EBasicError::Syntax);
    }
    if (t.sub >= static_cast<std::uint8_t>(EKeyword::FirstUnsupported))
        Fail(EBasicError::Unsupported);
    const auto keyword = static_cast<EKeyword>(t.sub);
    Advance();
    switch (keyword) {
    case EKeyword::Rem:
        SkipToLineEnd();
        return false;
    case EKeyword::Data:
        Advance(); // its items, read by READ
        return false;
    case EKeyword::Read:
        DoRead();
        return false;
    case EKeyword::Restore:
        DoRestore();
        return false;
    case EKeyword::If:
        return DoIf();
    case EKeyword::For:
        return DoFor();
    case EKeyword::Next:
        DoNext();
        return false;
    case EKeyword::Goto:
        return DoGoto(false);
    case EKeyword::Gosub:
        return DoGoto(true);
    case EKeyword::Return:
        DoReturn();
        return false;
    case EKeyword::Print:
        DoPrint();
        return false;
    case EKeyword::Poke:
        DoPoke();
        return false;
    case EKeyword::Defint:
        DoDefint();
        return false;
    case EKeyword::Def:
        DoDef();
        return false;
    case EKeyword::Clear:
        DoClear();
        return false;
    case EKeyword::Screen:
        DoScreen();
        return false;
    case EKeyword::Beep:
        if (!AtStatementEnd())
            Fail(EBasicError::Unsupported); // BEEP with an argument switches the beeper
        m_host.Beep();
        return false;
    case EKeyword::End:
        if (!AtStatementEnd())
            Fail(EBasicError::Syntax);
        throw SEndSignal{};
    case EKeyword::Open:
        DoOpen();
        return false;
    case EKeyword::Close:
        DoClose();
        return false;
    case EKeyword::Load:
    case EKeyword::List:
    case EKeyword::New:
    case EKeyword::Run:
        // Commands of direct mode only.
        if (m_pos.line != kDirect)
            Fail(EBasicError::Unsupported);
        if (keyword == EKeyword::Load)
            DoLoad();
        else if (keyword == EKeyword::List)
            DoList();
        else if (keyword == EKeyword::Run)
            return DoRun();
        else {
            if (!AtStatementEnd())
                Fail(EBasicError::Syntax);
            m_lines.clear();
            m_bLabelsStale = true;
            ResetRunState();
        }
        return false;
    default:
        // Words that only go inside statements (THEN, TO, AND, functions...).
        Fail(EBasicError::Syntax);
    }
}

} // namespace pc88
