// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the block list: row i shows block i of the tape, always. The
// list follows the document's updates (CDocUpdate) itself; the commands
// change the document and only choose which row is selected.
#pragma once

#include <string>

#include "tape/RelmuthDoc.h"

// The four texts of a row, in column order.
struct CRowTexts {
    std::string strBaud;
    std::string strBytes;
    std::string strType;
    std::string strName;

    friend bool operator==(const CRowTexts&, const CRowTexts&) = default;
};

// The list control's rows as the commands see them: how many, and which is
// selected. They never touch the document.
class CBlockRows {
  public:
    virtual ~CBlockRows() = default;

    virtual int GetRowCount() const = 0;
    // The selected row, or -1 when none is.
    virtual int GetSelectedRow() const = 0;
    // Selects and focuses the row; does not scroll.
    virtual void SelectRow(int nIndex) = 0;
    // Scrolls the row into sight.
    virtual void EnsureRowVisible(int /*nIndex*/) {}
};

CRowTexts GetRowTexts(const CRelmuthDoc& doc, const CTapeBlock& block);

// The quality mark of a row: none for a block with no byte marked as
// damaged (read cleanly, or mended from another take), else how many bytes
// of it are marked and the line that says so, for the mark's tip.
struct CRowMark {
    std::size_t nDoubtful = 0;
    std::string strText; // empty without a mark
    friend bool operator==(const CRowMark&, const CRowMark&) = default;
};

CRowMark GetRowMark(const CRelmuthDoc& doc, std::size_t nBlock);
