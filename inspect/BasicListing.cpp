// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/BasicListing.h"

#include <cstdio>
#include <vector>

#include "inspect/MbfNumber.h"
#include "inspect/N88TokenTable.h"
#include "inspect/Pc8801Text.h"

namespace inspect {
namespace {

constexpr std::uint8_t kLineEnd = 0x00;
constexpr std::uint8_t kQuote = 0x22;
constexpr std::uint8_t kColon = 0x3A;
constexpr std::uint8_t kOctal = 0x0B;
constexpr std::uint8_t kHex = 0x0C;
constexpr std::uint8_t kLineAddress = 0x0D;
constexpr std::uint8_t kLineNumber = 0x0E;
constexpr std::uint8_t kByteInteger = 0x0F;
constexpr std::uint8_t kFirstDigit = 0x11;
constexpr std::uint8_t kLastDigit = 0x1A;
constexpr std::uint8_t kTen = 0x1B;
constexpr std::uint8_t kInteger = 0x1C;
constexpr std::uint8_t kSingle = 0x1D;
constexpr std::uint8_t kDouble = 0x1F;
constexpr std::uint8_t kFirstToken = 0x80;

unsigned Word(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}

struct SLine {
    std::size_t at;  // block offset of the link
    std::size_t end; // block offset of the 0x00 that ends the line
    unsigned number;
};

// Finds the 0x00 that ends the line whose text starts at `from`, stepping
// over the operands of number forms (which may hold 0x00). Text after a
// quote, REM or ' is characters and ends only at the 0x00.
std::optional<std::size_t> LineEnd(std::span<const std::uint8_t> b, std::size_t from) {
    bool literal = false;
    bool quoted = false;
    bool data = false;
    for (std::size_t i = from; i < b.size(); ++i) {
        const std::uint8_t c = b[i];
        if (c == kLineEnd)
            return i;
        if (literal)
            continue;
        if (quoted) {
            quoted = c != kQuote;
        } else if (c == kQuote) {
            quoted = true;
        } else if (data) {
            data = c != kColon;
        } else if (c == n88::kTokenData) {
            data = true;
        } else if (c == n88::kTokenRem || c == n88::kTokenRemark) {
            literal = true;
        } else if (c == n88::kFunctionPrefix) {
            ++i;
        } else {
            i += NumberOperandSize(c);
        }
    }
    return std::nullopt;
}

class CLister {
  public:
    CLister(std::span<const std::uint8_t> block, const std::vector<SLine>& lines, unsigned base)
        : m_b(block), m_lines(lines), m_base(base) {}

    std::string Line(const SLine& line) {
        m_out = std::to_string(line.number) + " ";
        m_mode = EMode::normal;
        for (std::size_t i = line.at + 4; i < line.end;)
            i = Step(i, line.end);
        return m_out + "\n";
    }

  private:
    enum class EMode { normal, string, remark, data, dataQuoted };

    std::size_t Step(std::size_t i, std::size_t end) {
        const std::uint8_t c = m_b[i];
        switch (m_mode) {
        case EMode::string:
            AppendShownChar(m_out, c);
            if (c == kQuote)
                m_mode = EMode::normal;
            return i + 1;
        case EMode::remark:
            AppendShownChar(m_out, c);
            return i + 1;
        case EMode::data:
        case EMode::dataQuoted:
            if (c == kColon && m_mode == EMode::data) {
                m_mode = EMode::normal;
                return Normal(i, end);
            }
            if (c == kQuote)
                m_mode = m_mode == EMode::data ? EMode::dataQuoted : EMode::data;
            AppendShownChar(m_out, c);
            return i + 1;
        case EMode::normal:
            break;
        }
        return Normal(i, end);
    }

    std::size_t Normal(std::size_t i, std::size_t end) {
        const std::uint8_t c = m_b[i];
        if (c == kColon) {
            if (i + 1 < end && m_b[i + 1] == n88::kTokenElse)
                return i + 1; // ':' ELSE lists as ELSE
            if (i + 2 < end && m_b[i + 1] == n88::kTokenRem && m_b[i + 2] == n88::kTokenRemark) {
                m_out += '\'';
                m_mode = EMode::remark;
                return i + 3;
            }
            m_out += ':';
            return i + 1;
        }
        if (c == kQuote) {
            m_out += '"';
            m_mode = EMode::string;
            return i + 1;
        }
        const std::size_t operand = NumberOperandSize(c);
        if (i + 1 + operand > end) {
            AppendShownChar(m_out, c);
            return i + 1;
        }
        if (operand > 0 || (c >= kFirstDigit && c <= kTen)) {
            Number(c, m_b.subspan(i + 1, operand));
            return i + 1 + operand;
        }
        if (c == n88::kFunctionPrefix) {
            if (i + 1 >= end) {
                AppendShownChar(m_out, c);
                return i + 1;
            }
            Word(static_cast<std::uint16_t>(0xFF00 | m_b[i + 1]));
            return i + 2;
        }
        if (c >= kFirstToken) {
            Word(c);
            if (c == n88::kTokenRem || c == n88::kTokenRemark)
                m_mode = EMode::remark;
            else if (c == n88::kTokenData)
                m_mode = EMode::data;
            return i + 1;
        }
        AppendShownChar(m_out, c);
        return i + 1;
    }

    void Word(std::uint16_t code) {
        const n88::SToken* token = n88::FindToken(code);
        if (token != nullptr) {
            m_out += token->word;
            return;
        }
        // A code the table does not hold: its bytes as characters.
        if (code > 0xFF)
            AppendShownChar(m_out, n88::kFunctionPrefix);
        AppendShownChar(m_out, static_cast<std::uint8_t>(code));
    }

    void Number(std::uint8_t c, std::span<const std::uint8_t> v) {
        char text[32];
        if (c >= kFirstDigit && c <= kLastDigit) {
            m_out += static_cast<char>('0' + (c - kFirstDigit));
        } else if (c == kTen) {
            m_out += "10";
        } else if (c == kByteInteger) {
            m_out += std::to_string(v[0]);
        } else if (c == kInteger) {
            m_out += std::to_string(static_cast<std::int16_t>(inspect::Word(v, 0)));
        } else if (c == kOctal) {
            std::snprintf(text, sizeof text, "&O%o", inspect::Word(v, 0));
            m_out += text;
        } else if (c == kHex) {
            std::snprintf(text, sizeof text, "&H%X", inspect::Word(v, 0));
            m_out += text;
        } else if (c == kLineNumber) {
            m_out += std::to_string(inspect::Word(v, 0));
        } else if (c == kLineAddress) {
            m_out += LineAt(inspect::Word(v, 0));
        } else if (c == kSingle) {
            m_out += FormatSingle(MbfToValue(v));
        } else if (c == kDouble) {
            m_out += FormatDouble(MbfToValue(v));
        }
    }

    // The line number of the line at a memory address: the address of its
    // link, or of the 0x00 just before it.
    std::string LineAt(unsigned address) const {
        for (const SLine& line : m_lines) {
            const unsigned at = m_base + static_cast<unsigned>(line.at - kBasicProgramStart);
            if (address == at || address + 1 == at)
                return std::to_string(line.number);
        }
        return std::to_string(address);
    }

    std::span<const std::uint8_t> m_b;
    const std::vector<SLine>& m_lines;
    unsigned m_base;
    std::string m_out;
    EMode m_mode = EMode::normal;
};

} // namespace

std::size_t NumberOperandSize(std::uint8_t code) {
    switch (code) {
    case kOctal:
    case kHex:
    case kLineAddress:
    case kLineNumber:
    case kInteger:
        return 2;
    case kByteInteger:
        return 1;
    case kSingle:
        return kMbfSingleSize;
    case kDouble:
        return kMbfDoubleSize;
    default:
        return 0;
    }
}

SBasicListing ListBasic(std::span<const std::uint8_t> block) {
    SBasicListing listing;
    std::vector<SLine> lines;
    std::optional<unsigned> base; // memory address of the program's first byte
    std::size_t at = kBasicProgramStart;
    while (true) {
        if (at + 2 > block.size()) {
            listing.reason = SBasicListing::EStop::cutOff;
            break;
        }
        const unsigned link = Word(block, at);
        if (link == 0)
            break;
        const std::optional<std::size_t> end =
            at + 4 <= block.size() ? LineEnd(block, at + 4) : std::nullopt;
        if (!end) {
            listing.reason = SBasicListing::EStop::cutOff;
            break;
        }
        const std::size_t next = *end + 1;
        const auto nextOffset = static_cast<unsigned>(next - kBasicProgramStart);
        if (!base && link >= nextOffset)
            base = link - nextOffset;
        if (!base || link != *base + nextOffset) {
            listing.reason = SBasicListing::EStop::brokenLink;
            break;
        }
        lines.push_back({at, *end, Word(block, at + 2)});
        at = next;
    }
    if (listing.reason != SBasicListing::EStop::none)
        listing.stoppedAt = at;
    CLister lister(block, lines, base.value_or(0));
    for (const SLine& line : lines)
        listing.text += lister.Line(line);
    return listing;
}

} // namespace inspect
