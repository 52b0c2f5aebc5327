// SPDX-License-Identifier: GPL-3.0-or-later
// The quality mark of the block list's rows.
#include <gtest/gtest.h>

#include "session/BlockRows.h"

namespace {

// A row is marked with the count of its block's bytes marked as damaged;
// the mark follows its block when blocks move, and a block without marked
// bytes has none.
TEST(BlockRows, RowMarkCountsTheBlocksDamagedBytesAndFollowsItsBlock) {
    CRelmuthDoc doc;
    const CTapeBlock a{{1, 2, 3, 4}, 1200}, b{{5, 6, 7, 8, 9}, 600};
    doc.ReplaceTape({a, b}, {{1, 0, 2, DamageKind::lost, 10}, {1, 4, 1, DamageKind::framing, 20}});
    EXPECT_EQ(GetRowMark(doc, 0), CRowMark{});
    EXPECT_EQ(GetRowMark(doc, 1), (CRowMark{3, "確かに読めていないバイトが 3 個あります"}));
    doc.MoveBlock(1, 0);
    EXPECT_EQ(GetRowMark(doc, 0).nDoubtful, 3u);
    EXPECT_EQ(GetRowMark(doc, 1), CRowMark{});
    EXPECT_EQ(GetRowMark(doc, 2), CRowMark{});
}

} // namespace
