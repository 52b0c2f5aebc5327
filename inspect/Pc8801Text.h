// SPDX-License-Identifier: GPL-3.0-or-later
// The PC-8801's single-byte characters as UTF-8 and back: ASCII 0x20-0x7E
// as itself, half-width katakana 0xA1-0xDF as U+FF61-U+FF9F (one to one,
// as in the Japanese single-byte code page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace inspect {

// Whether the byte is a character the views show as itself.
bool IsShownChar(std::uint8_t b);

// Appends the byte as the views show it: a shown character, else ".".
void AppendShownChar(std::string& out, std::uint8_t b);

// Decodes one character of UTF-8 text at text[at] into the PC-8801's code:
// ASCII below 0x80 as itself, U+FF61-U+FF9F as 0xA1-0xDF. Sets used to the
// bytes taken; nothing for a character the PC-8801 has not, or bad UTF-8.
std::optional<std::uint8_t> DecodeUtf8Char(std::string_view text, std::size_t at,
                                           std::size_t& used);

} // namespace inspect
