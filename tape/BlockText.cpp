// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/BlockText.h"

#include <cstdio>

namespace {

constexpr std::size_t kBytesPerLine = 16;
constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, std::uint8_t b) {
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 0x0F];
}

} // namespace

std::string GetBlockText(const CTapeBlock& block) {
    const std::size_t nSize = block.m_data.size();
    std::string text;
    // Two digits a byte plus a line end every 16 bytes, and the short lines.
    text.reserve(nSize * 2 + (nSize / kBytesPerLine + 1) * 2 + 32);

    char head[48];
    std::snprintf(head, sizeof head, "CAS%d\r\n%04zX\r\n", block.IsSlow() ? 2 : 1, nSize);
    text += head;

    unsigned sum = 0;
    for (std::size_t i = 0; i < nSize; ++i) {
        const std::uint8_t b = block.m_data[i];
        sum += b;
        AppendHexByte(text, b);
        if ((i + 1) % kBytesPerLine == 0 || i + 1 == nSize)
            text += "\r\n";
    }
    AppendHexByte(text, static_cast<std::uint8_t>(sum & 0xFF));
    text += "\r\n";
    return text;
}
