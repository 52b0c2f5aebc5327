// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a check that stops the run with a message
// libFuzzer keeps, and a sink that keeps results from being optimised away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tape/TapeBlock.h"

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

// Reads a little of every result into a volatile, so the compiler cannot
// drop the parse that produced it.
inline void Keep(const std::vector<CTapeBlock>& blocks) {
    static volatile std::size_t sink;
    std::size_t n = blocks.size();
    for (const CTapeBlock& block : blocks) {
        n += block.m_data.size() + static_cast<std::size_t>(block.m_nBaud);
        if (!block.m_data.empty())
            n += block.m_data.front() + block.m_data.back();
    }
    sink = n;
    static_cast<void>(sink); // a volatile read: the store above must happen
}

// The bytes of all blocks, one after the other.
inline ByteArray Concatenate(const std::vector<CTapeBlock>& blocks) {
    ByteArray all;
    for (const CTapeBlock& block : blocks)
        all.insert(all.end(), block.m_data.begin(), block.m_data.end());
    return all;
}

} // namespace fuzz
