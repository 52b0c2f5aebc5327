// SPDX-License-Identifier: GPL-3.0-or-later
// Small builders for tape test inputs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tape/TapeBlock.h"

inline ByteArray Bytes(std::initializer_list<int> values) {
    ByteArray out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline ByteArray Bytes(std::string_view text) {
    return ByteArray(text.begin(), text.end());
}

inline ByteArray Repeat(std::uint8_t value, std::size_t count) {
    return ByteArray(count, value);
}

inline ByteArray Concat(std::initializer_list<ByteArray> parts) {
    ByteArray out;
    for (const ByteArray& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline CTapeBlock Block(ByteArray data, int baud = 600) {
    return CTapeBlock{std::move(data), baud};
}

// A BASIC header: ten 0xD3 and a six-byte name.
inline ByteArray BasicHeader(std::string_view name = "GAME  ") {
    return Concat({Repeat(0xD3, 10), Bytes(name)});
}

// A "$$$" header with a six-byte name.
inline ByteArray NamedHeader(std::string_view name = "MONTOR") {
    return Concat({Bytes("$$$"), Bytes(name)});
}

// Bytes with a pattern, for blocks whose content does not matter.
inline ByteArray Pattern(std::size_t count, std::uint8_t seed = 1) {
    ByteArray out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0xFF);
    if (!out.empty())
        out[0] = 0x01; // never a header by accident
    return out;
}
