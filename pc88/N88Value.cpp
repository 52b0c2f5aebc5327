// SPDX-License-Identifier: GPL-3.0-or-later
#include "pc88/N88Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace pc88 {
namespace {

// The smallest magnitude of the four-byte format (2^-128); anything smaller
// becomes zero, as N88-BASIC's arithmetic underflows to zero.
constexpr double kSingleMin = 2.9387358770557188e-39;
// Single precision prints at most this many significant digits.
constexpr int kSingleDigits = 6;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Rounds half away from zero, as the interpreter's integer conversion does.
double RoundAway(double v) {
    return v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
}

std::string FormatSingle(float value) {
    std::string out = value < 0 ? "-" : " ";
    const double magnitude = std::fabs(static_cast<double>(value));
    if (magnitude == 0) {
        out += "0 ";
        return out;
    }
    // The six significant digits and the decimal exponent of the first one.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*e", kSingleDigits - 1, magnitude);
    std::string digits;
    digits += buf[0];
    digits.append(buf + 2, kSingleDigits - 1);
    const int exponent = std::atoi(buf + kSingleDigits + 2); // after "d.ddddde"
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int count = static_cast<int>(digits.size());
    // Plain form: the value is 0.digits * 10^(exponent + 1).
    const int pointAt = exponent + 1;
    const bool plain = pointAt > 0 ? pointAt <= kSingleDigits : count - pointAt <= kSingleDigits;
    if (plain) {
        if (pointAt <= 0) {
            out += '.';
            out.append(static_cast<std::size_t>(-pointAt), '0');
            out += digits;
        } else if (pointAt >= count) {
            out += digits;
            out.append(static_cast<std::size_t>(pointAt - count), '0');
        } else {
            out.append(digits, 0, static_cast<std::size_t>(pointAt));
            out += '.';
            out.append(digits, static_cast<std::size_t>(pointAt));
        }
    } else {
        out += digits[0];
        if (count > 1) {
            out += '.';
            out.append(digits, 1);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += exp;
    }
    out += ' ';
    return out;
}

} // namespace

std::string_view GetErrorText(EBasicError error) {
    switch (error) {
    case EBasicError::NextWithoutFor:
        return "NEXT without FOR";
    case EBasicError::Syntax:
        return "Syntax error";
    case EBasicError::ReturnWithoutGosub:
        return "RETURN without GOSUB";
    case EBasicError::OutOfData:
        return "Out of DATA";
    case EBasicError::IllegalFunctionCall:
        return "Illegal function call";
    case EBasicError::Overflow:
        return "Overflow";
    case EBasicError::UndefinedLine:
        return "Undefined line number";
    case EBasicError::DivisionByZero:
        return "Division by zero";
    case EBasicError::TypeMismatch:
        return "Type mismatch";
    case EBasicError::StringTooLong:
        return "String too long";
    case EBasicError::ForWithoutNext:
        return "FOR without NEXT";
    case EBasicError::LineBufferOverflow:
        return "Line buffer overflow";
    case EBasicError::BadFileNumber:
        return "Bad file number";
    case EBasicError::FileAlreadyOpen:
        return "File already open";
    case EBasicError::BadFileName:
        return "Bad file name";
    case EBasicError::OutOfMemory:
        return "Out of memory";
    case EBasicError::Unsupported:
        return "Unsupported statement";
    }
    return "Syntax error";
}

namespace {
std::string ErrorMessage(EBasicError error, std::optional<std::uint16_t> line) {
    std::string text(GetErrorText(error));
    if (line)
        text += " in " + std::to_string(*line);
    return text;
}
} // namespace

CBasicError::CBasicError(EBasicError error, std::optional<std::uint16_t> line)
    : std::runtime_error(ErrorMessage(error, line)), m_error(error), m_line(line) {}

void Fail(EBasicError error) {
    throw SBasicFault{error, std::nullopt};
}

SValue SValue::String(std::string v) {
    if (v.size() > kMaxStringLength)
        Fail(EBasicError::StringTooLong);
    SValue value;
    value.type = EType::String;
    value.s = std::move(v);
    return value;
}

float ToSingle(double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude <= kSingleMax))
        Fail(EBasicError::Overflow);
    if (magnitude < kSingleMin)
        return 0;
    return static_cast<float>(value);
}

std::int16_t ToInteger(const SValue& value) {
    if (value.type == EType::String)
        Fail(EBasicError::TypeMismatch);
    if (value.type == EType::Integer)
        return value.i;
    const double rounded = RoundAway(value.f);
    if (rounded < -32768 || rounded > 32767)
        Fail(EBasicError::Overflow);
    return static_cast<std::int16_t>(rounded);
}

std::uint16_t ToAddress(const SValue& value) {
    if (value.type == EType::String)
        Fail(EBasicError::TypeMismatch);
    const double rounded = value.type == EType::Integer ? value.i : RoundAway(value.f);
    if (rounded < -32768 || rounded > 65535)
        Fail(EBasicError::Overflow);
    const long whole = static_cast<long>(rounded);
    return static_cast<std::uint16_t>(whole < 0 ? whole + 65536 : whole);
}

std::string FormatNumber(const SValue& value) {
    if (value.type == EType::Integer)
        return (value.i < 0 ? "" : " ") + std::to_string(value.i) + " ";
    return FormatSingle(value.f);
}

std::optional<SValue> ParseNumber(std::string_view text, bool bSigned, std::size_t& used) {
    std::size_t at = 0;
    bool negative = false;
    if (bSigned && at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at + 1 < text.size() && text[at] == '&' && (text[at + 1] == 'H' || text[at + 1] == 'h')) {
        at += 2;
        unsigned value = 0;
        int digits = 0;
        for (int d; at < text.size() && (d = HexDigit(text[at])) >= 0; ++at) {
            if (++digits > 4)
                Fail(EBasicError::Overflow);
            value = value * 16 + static_cast<unsigned>(d);
        }
        used = at;
        auto word = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
        if (negative) {
            if (word == -32768)
                return SValue::Single(32768.0f);
            word = static_cast<std::int16_t>(-word);
        }
        return SValue::Integer(word);
    }
    const std::size_t start = at;
    bool whole = true;
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    std::size_t mantissaEnd = at;
    if (at < text.size() && text[at] == '.') {
        whole = false;
        ++at;
        while (at < text.size() && IsDigit(text[at]))
            ++at;
        mantissaEnd = at;
    }
    // A lone point or sign is not a number.
    if (mantissaEnd == start || (mantissaEnd == start + 1 && text[start] == '.'))
        return std::nullopt;
    std::string number(text.substr(start, mantissaEnd - start));
    if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
        std::size_t e = at + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            ++e;
        if (e < text.size() && IsDigit(text[e])) {
            whole = false;
            number += 'e';
            number.append(text.substr(at + 1, e - at - 1));
            while (e < text.size() && IsDigit(text[e]))
                number += text[e++];
            at = e;
        }
    }
    used = at;
    double value = 0;
    const std::from_chars_result result =
        std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Out of the double's range: huge fails below, tiny is zero.
        value = number.find("e-") != std::string::npos ? 0 : HUGE_VAL;
    }
    if (negative)
        value = -value;
    if (whole && value >= -32768 && value <= 32767)
        return SValue::Integer(static_cast<std::int16_t>(value));
    return SValue::Single(ToSingle(value));
}

} // namespace pc88
