// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/BlockRows.h"

#include "res/FormatString.h"

CRowTexts GetRowTexts(const CRelmuthDoc& doc, const CTapeBlock& block) {
    CRowTexts texts;
    doc.GetBlockInfo(block, texts.strBaud, texts.strBytes, texts.strType, texts.strName);
    return texts;
}

CRowMark GetRowMark(const CRelmuthDoc& doc, std::size_t nBlock) {
    CRowMark mark;
    mark.nDoubtful = MarkedByteCount(MarksOfBlock(doc.m_damageMarks, nBlock));
    if (mark.nDoubtful != 0)
        mark.strText = res::FormatString(res::IDS_ROW_DOUBTFUL, {std::to_string(mark.nDoubtful)});
    return mark;
}
