// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/StatusText.h"

#include <cstdint>

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

std::string RowDamageText(const CRelmuthDoc& doc, std::size_t nBlock) {
    const std::size_t nBytes = MarkedByteCount(MarksOfBlock(doc.m_damageMarks, nBlock));
    if (nBytes == 0)
        return {};
    return res::FormatString(res::IDS_ROW_DAMAGED, {std::to_string(nBytes)});
}
