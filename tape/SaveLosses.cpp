// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/SaveLosses.h"

#include <algorithm>

#include "res/FormatString.h"
#include "tape/KxmFormat.h"
#include "tape/RawFormat.h"

namespace {

std::vector<CTapeBlock> ThroughImage(const std::vector<CTapeBlock>& blocks) {
    ByteArray image;
    CMemoryArchive out(image);
    WriteTapeImage(blocks, kKxmMagic, out);
    std::vector<CTapeBlock> back;
    const std::span<const std::uint8_t> bytes(image);
    CMemoryArchive in(bytes);
    ReadTapeImage(in, kKxmMagic, back);
    return back;
}

std::vector<CTapeBlock> ThroughRaw(const std::vector<CTapeBlock>& blocks) {
    ByteArray image;
    CMemoryArchive out(image);
    WriteRaw(blocks, out);
    std::vector<CTapeBlock> back;
    ReadRaw(image, back);
    return back;
}

std::vector<std::size_t> Sizes(const std::vector<CTapeBlock>& blocks) {
    std::vector<std::size_t> sizes;
    for (const CTapeBlock& block : blocks)
        sizes.push_back(block.m_data.size());
    return sizes;
}

// How many blocks with bytes come back at another speed: the speed of the
// block that their first byte is read into. Both tapes hold the same bytes
// in the same order; only the cuts differ.
std::size_t SpeedChanges(const std::vector<CTapeBlock>& blocks,
                         const std::vector<CTapeBlock>& back) {
    std::size_t nChanged = 0;
    std::size_t nAt = 0;     // where the block starts among all bytes of the tape
    std::size_t nBack = 0;   // the block read back that holds byte nAt...
    std::size_t nBackAt = 0; // ...which starts here
    for (const CTapeBlock& block : blocks) {
        if (block.m_data.empty())
            continue;
        while (nBack < back.size() && nBackAt + back[nBack].m_data.size() <= nAt)
            nBackAt += back[nBack++].m_data.size();
        if (nBack < back.size() && back[nBack].IsSlow() != block.IsSlow())
            ++nChanged;
        nAt += block.m_data.size();
    }
    return nChanged;
}

} // namespace

std::vector<CSaveLoss> FindSaveLosses(const std::vector<CTapeBlock>& blocks,
                                      std::span<const CDamageMark> marks, TapeFormat format) {
    std::vector<CSaveLoss> losses;
    const bool bFitsTimeLine = LaidOutTicks(blocks) <= kMaxTapeTicks;
    const bool bImage = format == TapeFormat::kxm || format == TapeFormat::t88;
    if (bImage && !bFitsTimeLine)
        losses.push_back({CSaveLoss::tooLong});

    // The tape as an image gives it back: its headers joined with what follows.
    const std::vector<CTapeBlock> joined = bFitsTimeLine ? ThroughImage(blocks) : blocks;
    if (format == TapeFormat::raw) {
        const std::vector<CTapeBlock> back = ThroughRaw(blocks);
        if (const std::size_t n = SpeedChanges(blocks, back))
            losses.push_back({CSaveLoss::speeds, n});
        if (Sizes(back) != Sizes(joined))
            losses.push_back({CSaveLoss::division, blocks.size(), back.size()});
    } else if (bImage && bFitsTimeLine) {
        if (const std::size_t n = SpeedChanges(blocks, joined))
            losses.push_back({CSaveLoss::joinedSpeeds, n});
    }

    if (format != TapeFormat::kxm) {
        if (const std::size_t n = MarksThatFit(marks, blocks).size())
            losses.push_back({CSaveLoss::damageMarks, n});
    }
    return losses;
}

std::string DescribeSaveLoss(const CSaveLoss& loss) {
    const std::string count = std::to_string(loss.nCount);
    switch (loss.kind) {
    case CSaveLoss::tooLong:
        return std::string(res::LoadString(res::IDS_TAPE_TOO_LONG));
    case CSaveLoss::speeds:
        return res::FormatString(res::IDS_LOSS_SPEEDS, {count});
    case CSaveLoss::joinedSpeeds:
        return res::FormatString(res::IDS_LOSS_JOINED_SPEEDS, {count});
    case CSaveLoss::division:
        return res::FormatString(res::IDS_LOSS_DIVISION, {count, std::to_string(loss.nAfter)});
    case CSaveLoss::damageMarks:
        return res::FormatString(res::IDS_LOSS_DAMAGE_MARKS, {count});
    }
    return {};
}

std::vector<std::string> DescribeSaveLosses(const std::vector<CTapeBlock>& blocks,
                                            std::span<const CDamageMark> marks, TapeFormat format) {
    std::vector<std::string> texts;
    for (const CSaveLoss& loss : FindSaveLosses(blocks, marks, format))
        texts.push_back(DescribeSaveLoss(loss));
    return texts;
}
