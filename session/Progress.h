// SPDX-License-Identifier: GPL-3.0-or-later
// Progress bars show count x 100 / total, truncated and kept within 0..100.
#pragma once

#include <algorithm>
#include <cstdint>

// Worked in 64 bits, so that blocks of more than 21 MB do not overflow the
// product; a total of 0 or less shows a full bar instead of dividing by it.
inline int ProgressPercent(std::int64_t nCount, std::int64_t nTotal) {
    if (nTotal <= 0)
        return 100;
    return static_cast<int>(std::clamp<std::int64_t>(nCount * 100 / nTotal, 0, 100));
}
