// SPDX-License-Identifier: GPL-3.0-or-later
// One block of a cassette tape: the bytes exactly as they were on tape,
// headers included, and the speed they were recorded at.
#pragma once

#include <cstdint>
#include <vector>

using ByteArray = std::vector<std::uint8_t>;

// Tape speeds. Everything that reads m_nBaud tests against kBaudSlow only:
// any other value counts as the fast speed.
inline constexpr int kBaudSlow = 600;
inline constexpr int kBaudFast = 1200;

struct CTapeBlock {
    ByteArray m_data; // the block's bytes; its size is the block's byte count
    int m_nBaud = kBaudFast;

    bool IsSlow() const { return m_nBaud == kBaudSlow; }
    friend bool operator==(const CTapeBlock&, const CTapeBlock&) = default;
};
