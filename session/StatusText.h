// SPDX-License-Identifier: GPL-3.0-or-later
// What a window program's status bar says beside its messages: the state
// of the link (what to type on the PC-8801 once a line is open, that the
// program runs without a port) and the tape (the selected block's number,
// from 1 as the damage report counts, the count of blocks and their size);
// and the mark on a row whose block holds damaged bytes.
#pragma once

#include <string>

#include "session/TapeSession.h"

// Empty while the line is lost: the message pane says so then.
std::string LinkStatusText(LinkState state);

// "ブロック 2  3 ブロック, 1,234 バイト"; without the block number when no
// row is selected.
std::string TapeStatusText(const CRelmuthDoc& doc, int nSelectedRow);

// The mark of block nBlock's row: empty for a block without damage marks,
// else "読み取れなかったバイト: N" (its marked bytes), the row's tool tip.
std::string RowDamageText(const CRelmuthDoc& doc, std::size_t nBlock);
