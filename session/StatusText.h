// SPDX-License-Identifier: GPL-3.0-or-later
// What a window program's status bar says beside its messages: the state
// of the link (what to type on the PC-8801 once a line is open, that the
// program runs without a port) and the tape (the selected block's number,
// from 1 as the damage report counts, the count of blocks and their size);
// and the mark on a row whose block holds damaged bytes, fails the checks
// its data carries or was read only just.
#pragma once

#include <string>

#include "session/TapeSession.h"

// Empty while the line is lost: the message pane says so then.
std::string LinkStatusText(LinkState state);

// "ブロック 2  3 ブロック, 1,234 バイト"; without the block number when no
// row is selected.
std::string TapeStatusText(const CRelmuthDoc& doc, int nSelectedRow);

// How a row's block stands, worst first: bytes the decoder could not read
// (marked), a check its data carries fails (a BASIC program's link chain
// or end, a machine-code record's checksum or end record), the decoder
// read it only just, or nothing to mark.
enum class RowMark { none, weak, checkFailed, damaged };

struct CRowQuality {
    RowMark mark = RowMark::none;
    // The row's tool tip, a line for each thing found: "読み取れなかった
    // バイト: N", the check that fails and where, and how clearly the
    // decoder read the block (for a block decoded from a recording). Empty
    // for a row without a mark.
    std::string strTip;
    friend bool operator==(const CRowQuality&, const CRowQuality&) = default;
};

// The mark of block nBlock's row. It lists the block's data (a view caches
// it until the block changes).
CRowQuality RowQuality(const CRelmuthDoc& doc, std::size_t nBlock);

// The tool tip of block nBlock's row: empty for a row without a mark.
std::string RowDamageText(const CRelmuthDoc& doc, std::size_t nBlock);
