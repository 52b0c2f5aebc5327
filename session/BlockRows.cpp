// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/BlockRows.h"

CRowTexts GetRowTexts(const CRelmuthDoc& doc, const CTapeBlock& block) {
    CRowTexts texts;
    doc.GetBlockInfo(block, texts.strBaud, texts.strBytes, texts.strType, texts.strName);
    return texts;
}
