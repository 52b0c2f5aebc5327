// SPDX-License-Identifier: GPL-3.0-or-later
// Expressions, by precedence from the loosest: OR, AND, comparisons, + and -,
// MOD, * and /, the sign, and the primaries (constants, variables,
// parentheses, functions). Integer arithmetic stays integer while it fits
// 16 bits and stops with Overflow when it does not; / and any single
// operand make single precision.
#include <cstdio>

#include "pc88/N88Basic.h"

namespace pc88 {
namespace {

constexpr std::uint8_t kLess = 1;
constexpr std::uint8_t kEqual = 2;
constexpr std::uint8_t kGreater = 4;

SValue Arithmetic(char op, const SValue& a, const SValue& b) {
    if (a.type == EType::String || b.type == EType::String) {
        if (op == '+' && a.type == EType::String && b.type == EType::String)
            return SValue::String(a.s + b.s);
        Fail(EBasicError::TypeMismatch);
    }
    if (op != '/' && a.type == EType::Integer && b.type == EType::Integer) {
        const int x = a.i;
        const int y = b.i;
        const int r = op == '+' ? x + y : op == '-' ? x - y : x * y;
        if (r < -32768 || r > 32767)
            Fail(EBasicError::Overflow);
        return SValue::Integer(static_cast<std::int16_t>(r));
    }
    const double x = a.Number();
    const double y = b.Number();
    double r = 0;
    switch (op) {
    case '+':
        r = x + y;
        break;
    case '-':
        r = x - y;
        break;
    case '*':
        r = x * y;
        break;
    default:
        if (y == 0)
            Fail(EBasicError::DivisionByZero);
        r = x / y;
        break;
    }
    return SValue::Single(ToSingle(r));
}

int Compare(const SValue& a, const SValue& b) {
    if (a.IsNumber() != b.IsNumber())
        Fail(EBasicError::TypeMismatch);
    if (a.IsNumber()) {
        const double x = a.Number();
        const double y = b.Number();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const int c = a.s.compare(b.s); // std::string compares as unsigned bytes
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

} // namespace

SValue CN88Basic::Eval() {
    return EvalNested(&CN88Basic::EvalOr);
}

// One level more of an expression, on BASIC's stack.
SValue CN88Basic::EvalNested(SValue (CN88Basic::*eval)()) {
    ReserveStack(kExpressionLevelBytes);
    ++m_nExpressionDepth;
    struct SLeave {
        std::size_t& depth;
        ~SLeave() { --depth; }
    } leave{m_nExpressionDepth};
    return (this->*eval)();
}

SValue CN88Basic::EvalOr() {
    SValue a = EvalAnd();
    while (TakeKeyword(EKeyword::Or)) {
        const std::int16_t x = ToInteger(a);
        const std::int16_t y = ToInteger(EvalAnd());
        a = SValue::Integer(static_cast<std::int16_t>(x | y));
    }
    return a;
}

SValue CN88Basic::EvalAnd() {
    SValue a = EvalRelation();
    while (TakeKeyword(EKeyword::And)) {
        const std::int16_t x = ToInteger(a);
        const std::int16_t y = ToInteger(EvalRelation());
        a = SValue::Integer(static_cast<std::int16_t>(x & y));
    }
    return a;
}

SValue CN88Basic::EvalRelation() {
    SValue a = EvalAdd();
    for (;;) {
        std::uint8_t relation = 0;
        // <, >, =, and the pairs <=, >=, <>, also written =<, =>, ><.
        for (int k = 0; k < 2; ++k) {
            const SToken& t = Tok();
            const std::uint8_t bit = t.IsPunct('<')   ? kLess
                                     : t.IsPunct('=') ? kEqual
                                     : t.IsPunct('>') ? kGreater
                                                      : 0;
            if (bit == 0 || (relation & bit))
                break;
            relation |= bit;
            Advance();
        }
        if (relation == 0)
            return a;
        const int c = Compare(a, EvalAdd());
        const std::uint8_t holds = c < 0 ? kLess : c > 0 ? kGreater : kEqual;
        a = SValue::Integer((relation & holds) ? -1 : 0);
    }
}

SValue CN88Basic::EvalAdd() {
    SValue a = EvalMod();
    for (;;) {
        const SToken& t = Tok();
        if (!t.IsPunct('+') && !t.IsPunct('-'))
            return a;
        const char op = static_cast<char>(t.sub);
        Advance();
        a = Arithmetic(op, a, EvalMod());
    }
}

SValue CN88Basic::EvalMod() {
    SValue a = EvalMul();
    while (TakeKeyword(EKeyword::Mod)) {
        const std::int16_t x = ToInteger(a);
        const std::int16_t y = ToInteger(EvalMul());
        if (y == 0)
            Fail(EBasicError::DivisionByZero);
        a = SValue::Integer(static_cast<std::int16_t>(x % y));
    }
    return a;
}

SValue CN88Basic::EvalMul() {
    SValue a = EvalUnary();
    for (;;) {
        const SToken& t = Tok();
        if (t.IsPunct('\\'))
            Fail(EBasicError::Unsupported); // integer division
        if (!t.IsPunct('*') && !t.IsPunct('/'))
            return a;
        const char op = static_cast<char>(t.sub);
        Advance();
        a = Arithmetic(op, a, EvalUnary());
    }
}

SValue CN88Basic::EvalUnary() {
    if (TakePunct('-')) {
        const SValue v = EvalNested(&CN88Basic::EvalUnary);
        if (v.type == EType::String)
            Fail(EBasicError::TypeMismatch);
        if (v.type == EType::Integer) {
            if (v.i == -32768)
                Fail(EBasicError::Overflow);
            return SValue::Integer(static_cast<std::int16_t>(-v.i));
        }
        return SValue::Single(-v.f);
    }
    if (TakePunct('+')) {
        SValue v = EvalNested(&CN88Basic::EvalUnary);
        if (v.type == EType::String)
            Fail(EBasicError::TypeMismatch);
        return v;
    }
    SValue v = EvalPrimary();
    if (Tok().IsPunct('^'))
        Fail(EBasicError::Unsupported); // exponentiation
    return v;
}

SValue CN88Basic::EvalPrimary() {
    const SToken& t = Tok();
    switch (t.kind) {
    case ETokenKind::Integer:
        Advance();
        return SValue::Integer(static_cast<std::int16_t>(t.i));
    case ETokenKind::Single:
        Advance();
        return SValue::Single(t.f);
    case ETokenKind::String: {
        std::string text(TokenText(t));
        Advance();
        return SValue::String(std::move(text));
    }
    case ETokenKind::Name: {
        if (Peek(1).IsPunct('('))
            Fail(EBasicError::Unsupported); // arrays
        const SVarRef var{t.i, TypeOf(t)};
        Advance();
        return ReadVariable(var);
    }
    case ETokenKind::Punct:
        if (t.IsPunct('(')) {
            Advance();
            SValue v = Eval();
            Expect(')');
            return v;
        }
        Fail(EBasicError::Syntax);
    case ETokenKind::Fault:
        Fail(static_cast<EBasicError>(t.sub));
    case ETokenKind::Keyword:
        if (t.sub >= static_cast<std::uint8_t>(EKeyword::FirstUnsupported))
            Fail(IsStatementWord(t.sub) ? EBasicError::Syntax : EBasicError::Unsupported);
        {
            const std::uint8_t keyword = t.sub;
            Advance();
            return EvalFunction(keyword);
        }
    default:
        Fail(EBasicError::Syntax);
    }
}

SValue CN88Basic::EvalNumber() {
    SValue v = Eval();
    if (v.type == EType::String)
        Fail(EBasicError::TypeMismatch);
    return v;
}

SValue CN88Basic::EvalString() {
    SValue v = Eval();
    if (v.type != EType::String)
        Fail(EBasicError::TypeMismatch);
    return v;
}

std::int16_t CN88Basic::EvalInteger() {
    return ToInteger(EvalNumber());
}

SValue CN88Basic::EvalFunction(std::uint8_t keyword) {
    const auto Range = [](std::int16_t v, int low, int high) {
        if (v < low || v > high)
            Fail(EBasicError::IllegalFunctionCall);
        return static_cast<std::size_t>(v);
    };
    switch (static_cast<EKeyword>(keyword)) {
    case EKeyword::InkeyS: {
        const std::optional<std::uint8_t> key = m_host.PollKey();
        return SValue::String(key ? std::string(1, static_cast<char>(*key)) : std::string());
    }
    case EKeyword::Usr:
        return EvalUsr();
    default:
        break;
    }
    Expect('(');
    SValue result;
    switch (static_cast<EKeyword>(keyword)) {
    case EKeyword::Val: {
        const SValue s = EvalString();
        std::size_t at = s.s.find_first_not_of(" \t\n");
        std::size_t used = 0;
        std::optional<SValue> v;
        if (at != std::string::npos)
            v = ParseNumber(std::string_view(s.s).substr(at), true, used);
        result = v ? *v : SValue::Integer(0);
        break;
    }
    case EKeyword::HexS: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(ToAddress(EvalNumber())));
        result = SValue::String(buf);
        break;
    }
    case EKeyword::RightS: {
        const SValue s = EvalString();
        Expect(',');
        const std::size_t n = Range(EvalInteger(), 0, 255);
        result = SValue::String(n >= s.s.size() ? s.s : s.s.substr(s.s.size() - n));
        break;
    }
    case EKeyword::MidS: {
        const SValue s = EvalString();
        Expect(',');
        const std::size_t from = Range(EvalInteger(), 1, 255);
        std::size_t count = kMaxStringLength;
        if (TakePunct(','))
            count = Range(EvalInteger(), 0, 255);
        result = SValue::String(from > s.s.size() ? std::string() : s.s.substr(from - 1, count));
        break;
    }
    case EKeyword::Len:
        result = SValue::Integer(static_cast<std::int16_t>(EvalString().s.size()));
        break;
    case EKeyword::ChrS:
        result = SValue::String(std::string(1, static_cast<char>(Range(EvalInteger(), 0, 255))));
        break;
    case EKeyword::Asc: {
        const SValue s = EvalString();
        if (s.s.empty())
            Fail(EBasicError::IllegalFunctionCall);
        result = SValue::Integer(static_cast<std::uint8_t>(s.s[0]));
        break;
    }
    case EKeyword::InputS: {
        const std::size_t count = Range(EvalInteger(), 1, 255);
        if (Tok().IsPunct(','))
            Fail(EBasicError::Unsupported); // INPUT$ from a file
        std::string keys;
        for (std::size_t k = 0; k < count; ++k)
            keys += static_cast<char>(m_host.WaitKey());
        result = SValue::String(std::move(keys));
        break;
    }
    case EKeyword::Peek:
        result = SValue::Integer(m_host.Peek(ToAddress(EvalNumber())));
        break;
    default:
        // A statement word inside an expression.
        Fail(EBasicError::Syntax);
    }
    Expect(')');
    return result;
}

std::size_t CN88Basic::TakeUsrNumber() {
    // USR alone is USR0; after it one digit, USR0 to USR9.
    std::size_t n = 0;
    if (Tok().kind == ETokenKind::Integer) {
        if (Tok().i < 0 || Tok().i > 9)
            Fail(EBasicError::Syntax);
        n = static_cast<std::size_t>(Tok().i);
        Advance();
    }
    return n;
}

SValue CN88Basic::EvalUsr() {
    const std::size_t n = TakeUsrNumber();
    Expect('(');
    const SValue argument = Eval();
    Expect(')');
    if (argument.type != EType::Integer) {
        // Only an integer argument is passed to the machine (A = 2).
        Fail(EBasicError::Unsupported);
    }
    if (!m_usrDefined[n])
        Fail(EBasicError::IllegalFunctionCall);
    return SValue::Integer(m_host.CallUsr(m_usr[n], argument.i));
}

EType CN88Basic::TypeOf(const SToken& name) const {
    switch (name.sub) {
    case '%':
        return EType::Integer;
    case '!':
        return EType::Single;
    case '$':
        return EType::String;
    case '#':
        Fail(EBasicError::Unsupported); // double precision
    default: {
        const char first = m_names.GetName(name.i)[0];
        return m_defInt[first - 'A'] ? EType::Integer : EType::Single;
    }
    }
}

SValue CN88Basic::ReadVariable(const SVarRef& var) const {
    const auto index = static_cast<std::size_t>(var.name);
    if (index >= m_vars.size()) {
        if (var.type == EType::String)
            return SValue::String({});
        return var.type == EType::Integer ? SValue::Integer(0) : SValue::Single(0);
    }
    const SVar& slot = m_vars[index];
    switch (var.type) {
    case EType::Integer:
        return SValue::Integer(slot.i);
    case EType::Single:
        return SValue::Single(slot.f);
    default:
        return SValue::String(slot.s);
    }
}

} // namespace pc88
