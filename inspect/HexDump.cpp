// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/HexDump.h"

#include <cstdio>

#include "inspect/Pc8801Text.h"

namespace inspect {

std::string HexDump(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::size_t line = 0; line < bytes.size(); line += kDumpBytesPerLine) {
        char field[32];
        std::snprintf(field, sizeof field, "%04zXH : ", line);
        std::string text = field;
        std::string chars;
        for (std::size_t i = 0; i < kDumpBytesPerLine; ++i) {
            if (line + i < bytes.size()) {
                std::snprintf(field, sizeof field, "%02X ", bytes[line + i]);
                text += field;
                AppendShownChar(chars, bytes[line + i]);
            } else {
                text += "   ";
            }
        }
        text += ": " + chars;
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out += text + "\n";
    }
    return out;
}

} // namespace inspect
