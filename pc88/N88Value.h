// SPDX-License-Identifier: GPL-3.0-or-later
// N88-BASIC's values, its errors and its number conversions.
//
// A value is a 16-bit integer, a single-precision number or a string of at
// most 255 bytes. Single precision is Microsoft's four-byte binary format,
// whose 24-bit mantissa an IEEE float holds exactly; only the range differs
// (up to 1.70141E+38), and the conversions here keep to it.
//
// PRINT form of a number: a blank (or the minus sign), the digits, a blank.
// Integers print all their digits. Single precision prints at most six
// significant digits; a number whose plain form would need more than six
// digits prints as mantissa and exponent: 1E+06, 1.23457E+06, 1E-07.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pc88 {

// The errors of the language, each printed with N88-BASIC's own words.
// Unsupported marks a real N88-BASIC statement, function or form that this
// interpreter leaves out.
enum class EBasicError {
    NextWithoutFor,
    Syntax,
    ReturnWithoutGosub,
    OutOfData,
    IllegalFunctionCall,
    Overflow,
    UndefinedLine,
    DivisionByZero,
    TypeMismatch,
    StringTooLong,
    ForWithoutNext,
    LineBufferOverflow,
    BadFileNumber,
    FileAlreadyOpen,
    BadFileName,
    OutOfMemory,
    Unsupported,
};

// "Syntax error", "Overflow", ...
std::string_view GetErrorText(EBasicError error);

// A BASIC error. The line is that of the statement that failed; none for a
// direct statement. what() is the text N88-BASIC prints: "Overflow in 2010".
class CBasicError : public std::runtime_error {
  public:
    CBasicError(EBasicError error, std::optional<std::uint16_t> line);
    EBasicError GetError() const { return m_error; }
    std::optional<std::uint16_t> GetLine() const { return m_line; }

  private:
    EBasicError m_error;
    std::optional<std::uint16_t> m_line;
};

// Thrown inside the interpreter before the line is known; the statement
// loop turns it into a CBasicError that names the line.
struct SBasicFault {
    EBasicError error;
    // The line the fault belongs to when it is not the running one (a bad
    // DATA item is reported in the line of its DATA statement).
    std::optional<std::uint16_t> line;
};

[[noreturn]] void Fail(EBasicError error);

enum class EType : std::uint8_t { Integer, Single, String };

inline constexpr std::size_t kMaxStringLength = 255;
inline constexpr double kSingleMax = 1.70141183e38;

struct SValue {
    EType type = EType::Integer;
    std::int16_t i = 0;
    float f = 0;
    std::string s;

    static SValue Integer(std::int16_t v) { return {EType::Integer, v, 0, {}}; }
    static SValue Single(float v) { return {EType::Single, 0, v, {}}; }
    static SValue String(std::string v);
    bool IsNumber() const { return type != EType::String; }
    double Number() const { return type == EType::Integer ? i : f; }
};

// A number result as single precision: Overflow beyond the format's range,
// zero below its smallest magnitude.
float ToSingle(double value);
// A number as an integer, the fraction rounded away from zero at .5 as
// N88-BASIC does when it stores into an integer: Overflow outside
// -32768..32767; Type mismatch for a string.
std::int16_t ToInteger(const SValue& value);
// An address as PEEK, POKE, DEF USR and HEX$ take it: -32768..65535, a
// negative one meaning 65536 more.
std::uint16_t ToAddress(const SValue& value);

// The PRINT form: " 123 ", "-5 ", " 40000 ", " 1.5E+07 ".
std::string FormatNumber(const SValue& value);

// Reads a number from text as the program text, VAL and READ write them:
// decimal digits with an optional point and exponent (E), or &H and up to
// four hexadecimal digits (a 16-bit integer, so &HFFFF is -1). A leading
// sign is read only when bSigned. The result is an integer when it fits and
// has no point or exponent, else single precision. Returns nothing when the
// text does not begin with a number; used is the count of characters read.
// Faults with Overflow for five or more hexadecimal digits.
std::optional<SValue> ParseNumber(std::string_view text, bool bSigned, std::size_t& used);

} // namespace pc88
