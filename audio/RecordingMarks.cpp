// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/RecordingMarks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

DamageKind KindOf(ByteFault fault) {
    switch (fault) {
    case ByteFault::framing:
        return DamageKind::framing;
    case ByteFault::undecided:
        return DamageKind::undecided;
    case ByteFault::lost:
    case ByteFault::slip: // bytes of the block are lost (or some are too many) here
        return DamageKind::lost;
    }
    return DamageKind::unknown;
}

std::uint32_t Millis(double dSeconds) {
    constexpr double kMax = std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(std::clamp(std::floor(dSeconds * 1000.0 + 0.5), 0.0, kMax));
}

} // namespace

CDamageMarks MarksFromDamage(std::span<const CDamagedByte> damage) {
    CDamageMarks marks;
    for (const CDamagedByte& d : damage) {
        const DamageKind kind = KindOf(d.fault);
        if (!marks.empty()) {
            CDamageMark& last = marks.back();
            if (last.nBlock == d.nBlock && last.kind == kind &&
                last.nOffset + last.nCount == d.nOffset) {
                ++last.nCount;
                continue;
            }
        }
        marks.push_back(CDamageMark{d.nBlock, d.nOffset, 1, kind, Millis(d.dSeconds)});
    }
    return marks;
}
