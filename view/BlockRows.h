// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the block list: row i shows block i of the tape, always. The
// rows are the list control's own; the commands keep them in step with the
// document themselves, and an update appends the rows of new blocks.
#pragma once

#include <string>
#include <vector>

#include "tape/RelmuthDoc.h"

// The four texts of a row, in column order.
struct CRowTexts {
    std::string strBaud;
    std::string strBytes;
    std::string strType;
    std::string strName;

    friend bool operator==(const CRowTexts&, const CRowTexts&) = default;
};

// The list control's row operations; they never touch the document.
class CBlockRows {
  public:
    virtual ~CBlockRows() = default;

    virtual int GetRowCount() const = 0;
    // An index at or beyond the last row appends.
    virtual void InsertRow(int nIndex, const CRowTexts& texts) = 0;
    // Appends many rows at once: a tape that opens fills the list in one go.
    virtual void AppendRows(std::vector<CRowTexts> rows) = 0;
    virtual void DeleteRow(int nIndex) = 0;
    virtual void DeleteAllRows() = 0;
    // The selected row, or -1 when none is.
    virtual int GetSelectedRow() const = 0;
    // Selects and focuses the row; does not scroll.
    virtual void SelectRow(int nIndex) = 0;
    // Scrolls the row into sight.
    virtual void EnsureRowVisible(int /*nIndex*/) {}
};

CRowTexts GetRowTexts(const CRelmuthDoc& doc, const CTapeBlock& block);

// After the document changed: appends a row for every block beyond the last
// row. A list longer than the tape (a failed open has emptied it) is emptied
// first, so that no row ever outlives its block.
void UpdateRows(const CRelmuthDoc& doc, CBlockRows& rows);
