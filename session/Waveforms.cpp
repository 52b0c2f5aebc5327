// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Waveforms.h"

#include <algorithm>
#include <cmath>

namespace {

// A mark's time is whole milliseconds, estimated for the part of a mark cut
// in two; the decoded bytes lie 9 ms or more apart.
constexpr double kSameByteSeconds = 0.004;

} // namespace

const CTakeRecording* TakeRecordingOf(const CBlockNote& note) {
    return dynamic_cast<const CTakeRecording*>(note.pSource.get());
}

std::optional<CDecodedPlace> FindDecodedByte(std::span<const CDamageMark> marks,
                                             std::span<const CDamagedByte> damage,
                                             std::size_t nBlock, std::size_t nOffset) {
    const auto mark = std::find_if(marks.begin(), marks.end(), [&](const CDamageMark& m) {
        return m.nBlock == nBlock && nOffset >= m.nOffset && nOffset - m.nOffset < m.nCount;
    });
    if (mark == marks.end())
        return std::nullopt;
    const double t = mark->nMillis / 1000.0;
    const CDamagedByte* pNearest = nullptr;
    for (const CDamagedByte& d : damage) {
        if (pNearest == nullptr || std::fabs(d.dSeconds - t) < std::fabs(pNearest->dSeconds - t))
            pNearest = &d;
    }
    if (pNearest == nullptr || std::fabs(pNearest->dSeconds - t) > kSameByteSeconds)
        return std::nullopt;
    return CDecodedPlace{pNearest->nBlock, pNearest->nOffset + (nOffset - mark->nOffset)};
}

std::vector<std::size_t> MarkedBytesOf(std::span<const CDamageMark> marks, std::size_t nBlock) {
    std::vector<std::size_t> offsets;
    for (const CDamageMark& mark : MarksOfBlock(marks, nBlock)) {
        for (std::size_t i = 0; i < mark.nCount; ++i)
            offsets.push_back(mark.nOffset + i);
    }
    return offsets;
}

std::optional<CTapePlace> NextMarkedByte(std::span<const CDamageMark> marks, std::size_t nBlock,
                                         std::size_t nOffset, bool bForward) {
    std::optional<CTapePlace> best;
    auto before = [](const CTapePlace& a, const CTapePlace& b) {
        return a.nBlock != b.nBlock ? a.nBlock < b.nBlock : a.nOffset < b.nOffset;
    };
    const CTapePlace from{nBlock, nOffset};
    for (const CDamageMark& mark : marks) {
        if (mark.nCount == 0)
            continue;
        const CTapePlace first{mark.nBlock, mark.nOffset};
        const CTapePlace last{mark.nBlock, mark.nOffset + mark.nCount - 1};
        // The mark's byte nearest past the place, if any lies past it.
        std::optional<CTapePlace> near;
        if (bForward && before(from, last))
            near = before(from, first) ? first : CTapePlace{nBlock, nOffset + 1};
        else if (!bForward && before(first, from))
            near = before(last, from) ? last : CTapePlace{nBlock, nOffset - 1};
        if (near && (!best || (bForward ? before(*near, *best) : before(*best, *near))))
            best = near;
    }
    return best;
}
