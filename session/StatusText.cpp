// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/StatusText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "inspect/BlockView.h"
#include "res/FormatString.h"

namespace {

// 1234567 as "1,234,567".
std::string Grouped(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// A decoded block is marked as read only just when its least clear byte
// or its mean falls below these (a clean recording reads above 0.9 and
// 0.97; the decoder's own damage begins far lower).
constexpr double kWeakestByte = 0.4;
constexpr double kWeakMean = 0.8;

std::string Percent(double d) {
    return std::to_string(std::lround(100.0 * d));
}

// An offset in a block as the block pane writes it: "012AH".
std::string HexOffset(std::size_t nOffset) {
    char text[32];
    std::snprintf(text, sizeof text, "%04zXH", nOffset);
    return text;
}

res::StringId CheckText(inspect::SBlockDamage::EKind kind) {
    using EKind = inspect::SBlockDamage::EKind;
    switch (kind) {
    case EKind::brokenLink:
        return res::IDS_ROW_BROKEN_LINK;
    case EKind::programCutOff:
        return res::IDS_ROW_PROGRAM_CUT;
    case EKind::badCheck:
        return res::IDS_ROW_BAD_CHECK;
    case EKind::recordsCutOff:
        break;
    }
    return res::IDS_ROW_RECORDS_CUT;
}

} // namespace

std::string LinkStatusText(LinkState state) {
    switch (state) {
    case LinkState::open:
        return std::string(res::LoadString(res::IDS_LOADER_HINT));
    case LinkState::closed:
        return std::string(res::LoadString(res::IDS_NO_PORT));
    case LinkState::lost:
        break;
    }
    return {};
}

std::string TapeStatusText(const CRelmuthDoc& doc, int nSelectedRow) {
    std::uint64_t nBytes = 0;
    for (const CTapeBlock& block : doc.m_blocks)
        nBytes += block.m_data.size();
    std::string text = res::FormatString(res::IDS_STATUS_TAPE,
                                         {std::to_string(doc.m_blocks.size()), Grouped(nBytes)});
    if (nSelectedRow >= 0 && static_cast<std::size_t>(nSelectedRow) < doc.m_blocks.size())
        text = res::FormatString(res::IDS_STATUS_SELECTED, {std::to_string(nSelectedRow + 1)}) +
               "  " + text;
    return text;
}

CRowQuality RowQuality(const CRelmuthDoc& doc, std::size_t nBlock) {
    CRowQuality quality;
    if (nBlock >= doc.m_blocks.size())
        return quality;
    std::vector<std::string> lines;
    auto markAtLeast = [&](RowMark mark) { quality.mark = std::max(quality.mark, mark); };

    const std::size_t nBytes = MarkedByteCount(MarksOfBlock(doc.m_damageMarks, nBlock));
    if (nBytes != 0) {
        markAtLeast(RowMark::damaged);
        lines.push_back(res::FormatString(res::IDS_ROW_DAMAGED, {std::to_string(nBytes)}));
    }

    const ByteArray& data = doc.m_blocks[nBlock].m_data;
    const inspect::EBlockView view = inspect::SuggestedView(data);
    if (view != inspect::EBlockView::hex) {
        for (const inspect::SBlockDamage& damage : inspect::ShowBlock(data, view).damage) {
            markAtLeast(RowMark::checkFailed);
            lines.push_back(res::FormatString(CheckText(damage.kind), {HexOffset(damage.offset)}));
        }
    }

    const std::optional<CReadScore> score =
        nBlock < doc.m_blockNotes.size() ? ScoreOf(doc.m_blockNotes[nBlock]) : std::nullopt;
    if (score && (score->dWeakest < kWeakestByte || score->dMean < kWeakMean))
        markAtLeast(RowMark::weak);
    if (score && quality.mark != RowMark::none)
        lines.push_back(res::FormatString(res::IDS_ROW_SCORE,
                                          {Percent(score->dMean), Percent(score->dWeakest)}));

    for (const std::string& line : lines) {
        if (!quality.strTip.empty())
            quality.strTip += '\n';
        quality.strTip += line;
    }
    return quality;
}

std::string RowDamageText(const CRelmuthDoc& doc, std::size_t nBlock) {
    return RowQuality(doc, nBlock).strTip;
}
