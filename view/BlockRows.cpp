// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/BlockRows.h"

CRowTexts GetRowTexts(const CRelmuthDoc& doc, const CTapeBlock& block) {
    CRowTexts texts;
    doc.GetBlockInfo(block, texts.strBaud, texts.strBytes, texts.strType, texts.strName);
    return texts;
}

void UpdateRows(const CRelmuthDoc& doc, CBlockRows& rows) {
    const auto nBlocks = doc.m_blocks.size();
    if (static_cast<std::size_t>(rows.GetRowCount()) > nBlocks)
        rows.DeleteAllRows();
    const auto nFirst = static_cast<std::size_t>(rows.GetRowCount());
    if (nFirst >= nBlocks)
        return;
    std::vector<CRowTexts> added;
    added.reserve(nBlocks - nFirst);
    for (auto i = nFirst; i < nBlocks; ++i)
        added.push_back(GetRowTexts(doc, doc.m_blocks[i]));
    rows.AppendRows(std::move(added));
}
