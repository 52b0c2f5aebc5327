// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/Pc8801Text.h"

namespace inspect {
namespace {

constexpr std::uint8_t kFirstKana = 0xA1;
constexpr std::uint8_t kLastKana = 0xDF;
constexpr unsigned kKanaCodePoint = 0xFF61; // U+FF61 is 0xA1

} // namespace

bool IsShownChar(std::uint8_t b) {
    return (b >= 0x20 && b <= 0x7E) || (b >= kFirstKana && b <= kLastKana);
}

void AppendShownChar(std::string& out, std::uint8_t b) {
    if (b >= 0x20 && b <= 0x7E) {
        out += static_cast<char>(b);
    } else if (b >= kFirstKana && b <= kLastKana) {
        const unsigned cp = kKanaCodePoint + (b - kFirstKana);
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += '.';
    }
}

std::optional<std::uint8_t> DecodeUtf8Char(std::string_view text, std::size_t at,
                                           std::size_t& used) {
    used = 1;
    const auto b0 = static_cast<std::uint8_t>(text[at]);
    if (b0 < 0x80)
        return b0;
    // Half-width katakana are the three bytes EF BD A1-BF and EF BE 80-9F.
    if (b0 != 0xEF || at + 3 > text.size())
        return std::nullopt;
    const auto b1 = static_cast<std::uint8_t>(text[at + 1]);
    const auto b2 = static_cast<std::uint8_t>(text[at + 2]);
    if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80)
        return std::nullopt;
    const unsigned cp = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
    if (cp < kKanaCodePoint || cp > kKanaCodePoint + (kLastKana - kFirstKana))
        return std::nullopt;
    used = 3;
    return static_cast<std::uint8_t>(kFirstKana + (cp - kKanaCodePoint));
}

} // namespace inspect
