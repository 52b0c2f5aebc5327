// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/DamageMarks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "res/FormatString.h"
#include "tape/TapeRecords.h"

namespace {

constexpr std::uint16_t kLayout = 1;
constexpr std::size_t kBodyHeaderSize = 6;
constexpr std::size_t kMarkSize = 13;
constexpr std::size_t kMaxBody = 0xFFFF;
constexpr std::size_t kMarksPerRecord = (kMaxBody - kBodyHeaderSize) / kMarkSize;
constexpr std::uint64_t kMaxField = std::numeric_limits<std::uint32_t>::max();

void PutWord(ByteArray& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutDWord(ByteArray& out, std::uint32_t v) {
    PutWord(out, static_cast<std::uint16_t>(v));
    PutWord(out, static_cast<std::uint16_t>(v >> 16));
}

std::uint32_t GetDWord(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool ByBlockAndOffset(const CDamageMark& a, const CDamageMark& b) {
    return a.nBlock != b.nBlock ? a.nBlock < b.nBlock : a.nOffset < b.nOffset;
}

} // namespace

std::string DescribeDamageMark(const CDamageMark& mark) {
    const std::uint32_t ms = mark.nMillis;
    char time[32];
    std::snprintf(time, sizeof time, "%u:%02u.%03u", ms / 60000, ms / 1000 % 60, ms % 1000);
    const res::StringId what = mark.kind == DamageKind::framing     ? res::IDS_FAULT_FRAMING
                               : mark.kind == DamageKind::undecided ? res::IDS_FAULT_UNDECIDED
                               : mark.kind == DamageKind::lost      ? res::IDS_FAULT_LOST
                                                                    : res::IDS_FAULT_UNKNOWN;
    const std::string whatText(res::LoadString(what));
    if (mark.nCount <= 1) {
        return res::FormatString(
            res::IDS_RECORDING_FAULT_LINE,
            {std::to_string(mark.nBlock), std::to_string(mark.nOffset), time, whatText});
    }
    return res::FormatString(res::IDS_DAMAGE_RUN_LINE,
                             {std::to_string(mark.nBlock), std::to_string(mark.nOffset),
                              std::to_string(mark.nOffset + mark.nCount - 1), time, whatText});
}

std::size_t MarkedByteCount(std::span<const CDamageMark> marks) {
    std::size_t n = 0;
    for (const CDamageMark& mark : marks)
        n += mark.nCount;
    return n;
}

CDamageMarks MarksOfBlock(std::span<const CDamageMark> marks, std::size_t nBlock) {
    CDamageMarks of;
    for (const CDamageMark& mark : marks) {
        if (mark.nBlock == nBlock)
            of.push_back(mark);
    }
    std::stable_sort(of.begin(), of.end(), ByBlockAndOffset);
    return of;
}

void RemoveBlockMarks(CDamageMarks& marks, std::size_t nBlock) {
    std::erase_if(marks, [nBlock](const CDamageMark& mark) { return mark.nBlock == nBlock; });
    for (CDamageMark& mark : marks) {
        if (mark.nBlock > nBlock)
            --mark.nBlock;
    }
}

void SwapBlockMarks(CDamageMarks& marks, std::size_t i, std::size_t j) {
    for (CDamageMark& mark : marks) {
        if (mark.nBlock == i)
            mark.nBlock = j;
        else if (mark.nBlock == j)
            mark.nBlock = i;
    }
}

void UnmarkByte(CDamageMarks& marks, std::size_t nBlock, std::size_t nOffset, int nBaud) {
    for (auto it = marks.begin(); it != marks.end(); ++it) {
        const CDamageMark mark = *it;
        if (mark.nBlock != nBlock || nOffset < mark.nOffset ||
            nOffset >= mark.nOffset + mark.nCount)
            continue;
        const std::size_t nBefore = nOffset - mark.nOffset;
        const std::size_t nAfter = mark.nCount - nBefore - 1;
        const double dMillisPerByte = 1000.0 * TicksPerByte(nBaud) / kTicksPerSecond;
        const double dAfter = mark.nMillis + static_cast<double>(nBefore + 1) * dMillisPerByte;
        const CDamageMark after{nBlock, nOffset + 1, nAfter, mark.kind,
                                static_cast<std::uint32_t>(std::min(
                                    std::llround(dAfter), static_cast<long long>(kMaxField)))};
        if (nBefore == 0 && nAfter == 0) {
            marks.erase(it);
        } else if (nBefore == 0) {
            *it = after;
        } else {
            it->nCount = nBefore;
            if (nAfter != 0)
                marks.insert(it + 1, after);
        }
        return;
    }
}

CDamageMarks MarksThatFit(std::span<const CDamageMark> marks,
                          const std::vector<CTapeBlock>& blocks) {
    CDamageMarks fit;
    for (const CDamageMark& mark : marks) {
        if (mark.nBlock < blocks.size() && mark.nCount > 0 &&
            mark.nOffset < blocks[mark.nBlock].m_data.size() &&
            mark.nCount <= blocks[mark.nBlock].m_data.size() - mark.nOffset)
            fit.push_back(mark);
    }
    std::stable_sort(fit.begin(), fit.end(), ByBlockAndOffset);
    return fit;
}

std::vector<ByteArray> EncodeDamageMarks(std::span<const CDamageMark> blockMarks,
                                         std::size_t nBlockSize) {
    std::vector<ByteArray> bodies;
    // Offsets and counts of a block beyond 4 GiB do not fit the fields; no
    // tape image holds such a block (its records count 16 bits at a time,
    // its times 32), but the marks are left out rather than cut.
    if (nBlockSize > kMaxField)
        return bodies;
    for (std::size_t nFirst = 0; nFirst < blockMarks.size(); nFirst += kMarksPerRecord) {
        const auto these =
            blockMarks.subspan(nFirst, std::min(kMarksPerRecord, blockMarks.size() - nFirst));
        ByteArray& body = bodies.emplace_back();
        body.reserve(kBodyHeaderSize + these.size() * kMarkSize);
        PutWord(body, kLayout);
        PutDWord(body, static_cast<std::uint32_t>(nBlockSize));
        for (const CDamageMark& mark : these) {
            PutDWord(body, static_cast<std::uint32_t>(mark.nOffset));
            PutDWord(body, static_cast<std::uint32_t>(mark.nCount));
            PutDWord(body, mark.nMillis);
            body.push_back(static_cast<std::uint8_t>(mark.kind));
        }
    }
    return bodies;
}

void DecodeDamageMarks(std::span<const std::uint8_t> body, std::size_t nBlock,
                       std::size_t nBlockSize, CDamageMarks& marks) {
    if (body.size() < kBodyHeaderSize || (body.size() - kBodyHeaderSize) % kMarkSize != 0)
        return;
    if ((body[0] | body[1] << 8) != kLayout)
        return;
    const std::size_t nWritten = GetDWord(&body[2]);
    if (nWritten > nBlockSize)
        return; // not the block we have read: some other program's record
    const std::size_t nBase = nBlockSize - nWritten;
    CDamageMarks read;
    for (std::size_t at = kBodyHeaderSize; at < body.size(); at += kMarkSize) {
        const std::uint8_t* p = &body[at];
        const std::size_t nOffset = GetDWord(p);
        const std::size_t nCount = GetDWord(p + 4);
        if (nCount == 0 || nOffset >= nWritten || nCount > nWritten - nOffset)
            return;
        const std::uint8_t kind = p[12];
        read.push_back(CDamageMark{nBlock, nBase + nOffset, nCount,
                                   kind <= static_cast<std::uint8_t>(DamageKind::lost)
                                       ? static_cast<DamageKind>(kind)
                                       : DamageKind::unknown,
                                   GetDWord(p + 8)});
    }
    marks.insert(marks.end(), read.begin(), read.end());
}
