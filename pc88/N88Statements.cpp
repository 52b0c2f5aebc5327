// SPDX-License-Identifier: GPL-3.0-or-later
// The statements. Each starts with its first argument as the current token
// and leaves the current token at its end (a ':', ELSE or the line's end),
// except those that jump, which return true with the place they jumped to.
#include <algorithm>

#include "pc88/N88Basic.h"

namespace pc88 {
namespace {

constexpr int kMaxFiles = 15;
// PRINT zones end where a whole zone no longer fits.
constexpr int kFileWidth = 255;
constexpr std::uint8_t kEndOfFile = 0x1A;

int LastZoneStart(int width) {
    return (width / CN88Basic::kZoneWidth - 1) * CN88Basic::kZoneWidth;
}

bool IsFrameValid(std::string_view frame) {
    // COM:[parity][data bits][stop bits][XON/XOFF][shift in/out], for
    // example N71XN; nothing after the colon keeps the line's settings.
    if (frame.empty())
        return true;
    return frame.size() == 5 && std::string_view("NEO").find(frame[0]) != std::string_view::npos &&
           (frame[1] == '7' || frame[1] == '8') && (frame[2] == '1' || frame[2] == '2') &&
           (frame[3] == 'X' || frame[3] == 'N') && (frame[4] == 'S' || frame[4] == 'N');
}

} // namespace

// ---------------------------------------------------------------------------
// Variables and assignment

CN88Basic::SVarRef CN88Basic::TakeVariable() {
    const SToken& t = Tok();
    if (t.kind != ETokenKind::Name)
        Fail(EBasicError::Syntax);
    if (Peek(1).IsPunct('('))
        Fail(EBasicError::Unsupported); // arrays
    const SVarRef var{t.i, TypeOf(t)};
    Advance();
    return var;
}

void CN88Basic::Assign(const SVarRef& var, const SValue& value) {
    if ((var.type == EType::String) != (value.type == EType::String))
        Fail(EBasicError::TypeMismatch);
    const auto index = static_cast<std::size_t>(var.name);
    if (index >= m_vars.size())
        m_vars.resize(std::max(index + 1, m_names.GetCount()));
    SVar& slot = m_vars[index];
    switch (var.type) {
    case EType::Integer:
        slot.i = ToInteger(value);
        break;
    case EType::Single:
        slot.f = value.type == EType::Integer ? value.i : value.f;
        break;
    case EType::String:
        slot.s = value.s;
        break;
    }
    slot.set |= static_cast<std::uint8_t>(1u << static_cast<unsigned>(var.type));
}

void CN88Basic::DoAssign() {
    const SVarRef var = TakeVariable();
    Expect('=');
    Assign(var, Eval());
}

// ---------------------------------------------------------------------------
// PRINT

void CN88Basic::DoPrint() {
    int file = 0;
    if (TakePunct('#')) {
        file = EvalInteger();
        if (file != m_nComFile || file == 0)
            Fail(EBasicError::BadFileNumber);
        if (!AtStatementEnd())
            Expect(',');
    }
    // What a PRINT #n writes goes to the line in one piece.
    std::string out;
    int column = file ? m_nComColumn : m_nColumn;
    const int width = file ? kFileWidth : kScreenWidth;
    const auto Emit = [&](std::string_view text) {
        if (file) {
            out += text;
            column += static_cast<int>(text.size());
        } else {
            Out(text);
            column = m_nColumn;
        }
    };
    bool lineEnd = true;
    while (!AtStatementEnd()) {
        const SToken& t = Tok();
        if (t.IsPunct(';')) {
            Advance();
            lineEnd = false;
            continue;
        }
        if (t.IsPunct(',')) {
            Advance();
            lineEnd = false;
            if (column >= LastZoneStart(width)) {
                Emit("\r\n");
                column = 0;
            } else {
                const int next = (column / kZoneWidth + 1) * kZoneWidth;
                Emit(std::string(static_cast<std::size_t>(next - column), ' '));
            }
            continue;
        }
        const SValue v = Eval();
        Emit(v.type == EType::String ? v.s : FormatNumber(v));
        lineEnd = true;
    }
    if (lineEnd) {
        Emit("\r\n");
        column = 0;
    }
    if (file) {
        m_nComColumn = column;
        m_host.ComWrite(std::span(reinterpret_cast<const std::uint8_t*>(out.data()), out.size()));
    }
}

// ---------------------------------------------------------------------------
// Jumps

CN88Basic::SPos CN88Basic::TargetOf(const SToken& token) {
    if (token.kind == ETokenKind::Label)
        return {FindLabel(TokenText(token)), 0};
    if (token.kind != ETokenKind::Integer && token.kind != ETokenKind::Single)
        Fail(EBasicError::Syntax);
    const double number = token.kind == ETokenKind::Integer ? token.i : token.f;
    if (number < 0 || number > 65529 || number != static_cast<int>(number))
        Fail(EBasicError::Syntax);
    return {FindLine(static_cast<std::uint16_t>(number)), 0};
}

bool CN88Basic::JumpTarget(bool gosub) {
    const SPos target = TargetOf(Tok());
    Advance();
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
    if (gosub) {
        SControl entry;
        entry.pos = m_pos;
        PushControl(entry);
    }
    SetPos(target);
    return true;
}

bool CN88Basic::DoGoto(bool gosub) {
    return JumpTarget(gosub);
}

void CN88Basic::DoReturn() {
    if (!AtStatementEnd())
        Fail(EBasicError::Unsupported); // RETURN to a line
    // The FOR loops opened inside the subroutine end with it.
    while (!m_control.empty() && m_control.back().isFor)
        m_control.pop_back();
    if (m_control.empty())
        Fail(EBasicError::ReturnWithoutGosub);
    const SPos back = m_control.back().pos;
    m_control.pop_back();
    SetPos(back);
}

bool CN88Basic::DoIf() {
    const SValue condition = Eval();
    if (condition.type == EType::String)
        Fail(EBasicError::TypeMismatch);
    if (Tok().IsKeyword(EKeyword::Goto))
        Fail(EBasicError::Unsupported); // IF ... GOTO
    ExpectKeyword(EKeyword::Then);
    if (condition.Number() == 0) {
        // Find the ELSE of this IF: nested IFs on the line take theirs first.
        int depth = 0;
        for (;;) {
            const SToken& t = Tok();
            if (t.kind == ETokenKind::End)
                return false;
            if (t.IsKeyword(EKeyword::If))
                ++depth;
            else if (t.IsKeyword(EKeyword::Else) && depth-- == 0)
                break;
            Advance();
        }
        Advance();
    }
    const SToken& t = Tok();
    if (t.kind == ETokenKind::Label || t.kind == ETokenKind::Integer ||
        t.kind == ETokenKind::Single)
        return JumpTarget(false);
    if (AtStatementEnd())
        Fail(EBasicError::Syntax);
    return true; // the statements after THEN or ELSE run from here
}

void CN88Basic::SkipToLineEnd() {
    while (Tok().kind != ETokenKind::End)
        Advance();
}

// ---------------------------------------------------------------------------
// FOR and NEXT

bool CN88Basic::DoFor() {
    const SVarRef var = TakeVariable();
    if (var.type == EType::String)
        Fail(EBasicError::TypeMismatch);
    Expect('=');
    const SValue start = EvalNumber();
    ExpectKeyword(EKeyword::To);
    const SValue limit = EvalNumber();
    SValue step = SValue::Integer(1);
    if (TakeKeyword(EKeyword::Step))
        step = EvalNumber();
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
    SControl entry;
    entry.isFor = true;
    entry.var = var;
    if (var.type == EType::Integer) {
        entry.limit = ToInteger(limit);
        entry.step = ToInteger(step);
    } else {
        entry.limit = static_cast<float>(limit.Number());
        entry.step = static_cast<float>(step.Number());
    }
    Assign(var, start);
    entry.pos = m_pos;
    // A new loop on the same variable replaces the old one and every loop
    // opened inside it.
    for (std::size_t k = m_control.size(); k-- > 0;) {
        if (!m_control[k].isFor)
            break;
        if (m_control[k].var.name == var.name && m_control[k].var.type == var.type) {
            m_control.resize(k);
            break;
        }
    }
    const double value = ReadVariable(var).Number();
    entry.skip = (entry.step > 0 && value > entry.limit) || (entry.step < 0 && value < entry.limit);
    PushControl(entry);
    if (!entry.skip)
        return false;
    SkipToMatchingNext();
    return true;
}

void CN88Basic::SkipToMatchingNext() {
    // The body is not run: go on at the NEXT that closes this loop, which
    // then only ends it.
    int depth = 0;
    for (;;) {
        const SToken& t = Tok();
        if (t.kind == ETokenKind::End) {
            if (m_pos.line == kDirect || static_cast<std::size_t>(m_pos.line) + 1 >= m_lines.size())
                Fail(EBasicError::ForWithoutNext);
            SetPos({m_pos.line + 1, 0});
            continue;
        }
        if (t.IsKeyword(EKeyword::For)) {
            ++depth;
        } else if (t.IsKeyword(EKeyword::Next)) {
            if (depth == 0)
                return; // the NEXT statement runs next
            // NEXT I,J closes as many loops as it names.
            int closes = 1;
            for (std::uint32_t k = 1; Peek(k).kind == ETokenKind::Name && Peek(k + 1).IsPunct(',');
                 k += 2)
                ++closes;
            depth -= closes;
            if (depth < 0)
                return;
        }
        Advance();
    }
}

void CN88Basic::DoNext() {
    for (;;) {
        std::optional<SVarRef> named;
        if (Tok().kind == ETokenKind::Name)
            named = TakeVariable();
        // The loop: the innermost one, or the named one (inner loops end).
        std::size_t k = m_control.size();
        for (;;) {
            if (k == 0 || !m_control[k - 1].isFor)
                Fail(EBasicError::NextWithoutFor);
            const SControl& c = m_control[k - 1];
            if (!named || (c.var.name == named->name && c.var.type == named->type))
                break;
            --k;
        }
        m_control.resize(k);
        SControl& loop = m_control.back();
        bool done = loop.skip;
        if (!done) {
            const SValue value = ReadVariable(loop.var);
            SValue next;
            if (loop.var.type == EType::Integer) {
                const int v = value.i + static_cast<int>(loop.step);
                if (v < -32768 || v > 32767)
                    Fail(EBasicError::Overflow);
                next = SValue::Integer(static_cast<std::int16_t>(v));
            } else {
                next = SValue::Single(ToSingle(static_cast<double>(value.f) + loop.step));
            }
            Assign(loop.var, next);
            const double v = next.Number();
            done = (loop.step > 0 && v > loop.limit) || (loop.step < 0 && v < loop.limit);
        }
        if (!done) {
            SetPos(loop.pos);
            return;
        }
        m_control.pop_back();
        if (!named || !TakePunct(','))
            break;
    }
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
}

// ---------------------------------------------------------------------------
// READ, DATA, RESTORE

bool CN88Basic::NextDataItem(std::string& item, std::uint16_t& line) {
    for (;;) {
        if (m_data.tok != 0) {
            const SStoredLine& stored = m_lines[static_cast<std::size_t>(m_data.line)];
            const std::string_view text = stored.tokens.Text(stored.tokens.tokens[m_data.tok]);
            if (m_data.offset <= text.size()) {
                line = stored.number;
                std::size_t at = m_data.offset;
                while (at < text.size() && text[at] == ' ')
                    ++at;
                std::size_t end = at;
                if (at < text.size() && text[at] == '"') {
                    // A quoted item; without its closing quote it runs to
                    // the end of the line.
                    end = text.find('"', at + 1);
                    const bool closed = end != std::string_view::npos;
                    item = text.substr(at + 1, closed ? end - at - 1 : std::string_view::npos);
                    end = closed ? end + 1 : text.size();
                    while (end < text.size() && text[end] == ' ')
                        ++end;
                    if (end < text.size() && text[end] != ',')
                        throw SBasicFault{EBasicError::Syntax, line};
                } else {
                    end = std::min(text.find(',', at), text.size());
                    std::size_t last = end;
                    while (last > at && text[last - 1] == ' ')
                        --last;
                    item = text.substr(at, last - at);
                }
                m_data.offset = static_cast<std::uint32_t>(end + 1);
                return true;
            }
        }
        // On to the next DATA statement: its items are the Text token after
        // the word. A token index of 0 means the search starts at the line's
        // beginning.
        bool found = false;
        std::uint32_t k = m_data.tok == 0 ? 0 : m_data.tok + 1;
        for (int l = m_data.line; !found && static_cast<std::size_t>(l) < m_lines.size();
             ++l, k = 0) {
            const std::vector<SToken>& tokens = m_lines[static_cast<std::size_t>(l)].tokens.tokens;
            for (; k + 1 < tokens.size(); ++k) {
                if (tokens[k].IsKeyword(EKeyword::Data) && tokens[k + 1].kind == ETokenKind::Text) {
                    m_data = {l, k + 1, 0};
                    found = true;
                    break;
                }
            }
        }
        if (!found)
            return false;
    }
}

void CN88Basic::DoRead() {
    for (;;) {
        const SVarRef var = TakeVariable();
        std::string item;
        std::uint16_t line = 0;
        if (!NextDataItem(item, line))
            Fail(EBasicError::OutOfData);
        if (var.type == EType::String) {
            Assign(var, SValue::String(item));
        } else {
            // A number item must be a number and nothing else; a bad one is
            // a syntax error of its DATA line.
            std::size_t used = 0;
            std::optional<SValue> v;
            try {
                v = item.empty() ? SValue::Integer(0) : ParseNumber(item, true, used);
                if (item.empty())
                    used = 0;
            } catch (const SBasicFault& fault) {
                throw SBasicFault{fault.error, line};
            }
            if (!v || used != item.size())
                throw SBasicFault{EBasicError::Syntax, line};
            Assign(var, *v);
        }
        if (!TakePunct(','))
            break;
    }
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
}

void CN88Basic::DoRestore() {
    m_data = SDataPos{};
    if (AtStatementEnd())
        return;
    m_data.line = TargetOf(Tok()).line;
    Advance();
}

// ---------------------------------------------------------------------------
// Memory, types, machine code, screen

void CN88Basic::DoPoke() {
    const std::uint16_t address = ToAddress(EvalNumber());
    Expect(',');
    const std::int16_t value = EvalInteger();
    if (value < 0 || value > 255)
        Fail(EBasicError::IllegalFunctionCall);
    m_host.Poke(address, static_cast<std::uint8_t>(value));
}

void CN88Basic::DoDefint() {
    for (;;) {
        const auto Letter = [this] {
            const SToken& t = Tok();
            if (t.kind != ETokenKind::Name || t.sub != 0)
                Fail(EBasicError::Syntax);
            const std::string& name = m_names.GetName(t.i);
            if (name.size() != 1)
                Fail(EBasicError::Syntax);
            Advance();
            return name[0] - 'A';
        };
        const int from = Letter();
        int to = from;
        if (TakePunct('-'))
            to = Letter();
        if (to < from)
            Fail(EBasicError::Syntax);
        std::fill(m_defInt + from, m_defInt + to + 1, true);
        if (!TakePunct(','))
            break;
    }
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
}

void CN88Basic::DoDef() {
    if (!TakeKeyword(EKeyword::Usr))
        Fail(Tok().kind == ETokenKind::Keyword ? EBasicError::Unsupported : EBasicError::Syntax);
    const std::size_t n = TakeUsrNumber();
    Expect('=');
    m_usr[n] = ToAddress(EvalNumber());
    m_usrDefined[n] = true;
}

void CN88Basic::DoClear() {
    // CLEAR [string area][,[end of BASIC's memory][,stack]]: the sizes are
    // checked and have no further effect here; every variable goes.
    for (int argument = 0; argument < 3; ++argument) {
        if (argument > 0 && !TakePunct(','))
            break;
        if (Tok().IsPunct(',') || AtStatementEnd())
            continue;
        const SValue v = EvalNumber();
        if (argument == 1)
            ToAddress(v);
        else if (ToInteger(v) < 0)
            Fail(EBasicError::IllegalFunctionCall);
    }
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
    ClearVariables();
    CloseFiles();
}

void CN88Basic::DoScreen() {
    // SCREEN [mode][,[graphics][,[active page][,display page]]]: checked,
    // no effect on the text screen.
    for (int argument = 0; argument < 4; ++argument) {
        if (argument > 0 && !TakePunct(','))
            break;
        if (Tok().IsPunct(',') || AtStatementEnd())
            continue;
        const std::int16_t v = EvalInteger();
        if (v < 0 || v > 255)
            Fail(EBasicError::IllegalFunctionCall);
    }
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
}

// ---------------------------------------------------------------------------
// Files: the RS-232C line as COM:

std::string CN88Basic::FrameOf(std::string_view device) const {
    if (device.size() < 4 || device.substr(0, 4) != "COM:")
        Fail(EBasicError::BadFileName);
    const std::string_view frame = device.substr(4);
    if (!IsFrameValid(frame))
        Fail(EBasicError::BadFileName);
    return std::string(frame);
}

void CN88Basic::DoOpen() {
    const SValue device = EvalString();
    if (!TakeKeyword(EKeyword::For))
        Fail(Tok().IsPunct(',') ? EBasicError::Unsupported : EBasicError::Syntax);
    if (!TakeKeyword(EKeyword::Output))
        Fail(Tok().kind == ETokenKind::Keyword ? EBasicError::Unsupported : EBasicError::Syntax);
    ExpectKeyword(EKeyword::As);
    TakePunct('#');
    const std::int16_t file = EvalInteger();
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
    if (file < 1 || file > kMaxFiles)
        Fail(EBasicError::BadFileNumber);
    const std::string frame = FrameOf(device.s);
    if (m_nComFile != 0)
        Fail(EBasicError::FileAlreadyOpen);
    m_host.ComOpen(frame);
    m_nComFile = file;
    m_nComColumn = 0;
}

void CN88Basic::DoClose() {
    if (AtStatementEnd()) {
        CloseFiles();
        return;
    }
    for (;;) {
        TakePunct('#');
        const std::int16_t file = EvalInteger();
        if (file < 0 || file > kMaxFiles)
            Fail(EBasicError::BadFileNumber);
        if (file == m_nComFile)
            CloseFiles();
        if (!TakePunct(','))
            break;
    }
    if (!AtStatementEnd())
        Fail(EBasicError::Syntax);
}

void CN88Basic::CloseFiles() {
    if (m_nComFile == 0)
        return;
    m_nComFile = 0;
    m_host.ComClose();
}

// ---------------------------------------------------------------------------
// Direct mode: LOAD, LIST, RUN

void CN88Basic::DoLoad() {
    const SValue device = EvalString();
    if (!AtStatementEnd())
        Fail(Tok().IsPunct(',') ? EBasicError::Unsupported : EBasicError::Syntax);
    const std::string frame = FrameOf(device.s);
    CloseFiles();
    m_lines.clear();
    m_bLabelsStale = true;
    ClearVariables();
    m_host.ComOpen(frame);
    // Lines end with CR; the LF after it is dropped. The first line without
    // a number ends the program text and runs as a direct statement.
    std::string line;
    try {
        for (;;) {
            const std::uint8_t c = m_host.ComRead();
            if (c == '\n')
                continue;
            if (c == kEndOfFile)
                break;
            if (c != '\r') {
                // The line buffer of a loaded line is the typed line's.
                if (line.size() >= kMaxLineLength)
                    Fail(EBasicError::LineBufferOverflow);
                line += static_cast<char>(c);
                continue;
            }
            const std::size_t first = line.find_first_not_of(' ');
            if (first == std::string::npos) {
                line.clear();
                continue;
            }
            if (line[first] < '0' || line[first] > '9') {
                m_pendingDirect = line.substr(first);
                break;
            }
            EnterNumberedLine(std::string_view(line).substr(first));
            line.clear();
        }
    } catch (const SBasicFault&) {
        // A line the program store refuses ends the LOAD; the line is closed.
        m_host.ComClose();
        throw;
    }
    m_host.ComClose();
    SkipToLineEnd();
}

void CN88Basic::DoList() {
    if (!AtStatementEnd())
        Fail(EBasicError::Unsupported); // LIST of a range
    for (const SStoredLine& line : m_lines) {
        Out(std::to_string(line.number));
        Out(" ");
        Out(line.tokens.listText);
        Out("\r\n");
    }
}

bool CN88Basic::DoRun() {
    std::optional<SPos> start;
    if (!AtStatementEnd()) {
        if (Tok().kind == ETokenKind::String)
            Fail(EBasicError::Unsupported); // RUN "file"
        start = TargetOf(Tok());
        Advance();
        if (!AtStatementEnd())
            Fail(EBasicError::Syntax);
    }
    ResetRunState();
    if (m_lines.empty()) {
        SkipToLineEnd();
        return false;
    }
    SetPos(start ? *start : SPos{0, 0});
    return true;
}

} // namespace pc88
