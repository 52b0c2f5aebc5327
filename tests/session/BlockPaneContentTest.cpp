// SPDX-License-Identifier: GPL-3.0-or-later
// What the block pane shows, for both window programs: the view each
// block's kind suggests and the user's choice, what could not be read
// whole, and where the dump highlights the bytes a recording's decoder
// marked.
#include <gtest/gtest.h>

#include "inspect/BasicCruncher.h"
#include "inspect/HexDump.h"
#include "session/BlockPaneContent.h"

namespace {

using inspect::EBlockView;

CTapeBlock Basic() {
    return inspect::BuildBasicBlock("10 PRINT \"ｱｲｳ\"\n20 GOTO 10\n", {'H', 'I'}, kBaudFast);
}

// ':' C000, one record of LD A,#01 / RET, the end record.
CTapeBlock Machine() {
    return CTapeBlock{{':', 0xC0, 0x00, 0x40, ':', 0x03, 0x3E, 0x01, 0xC9, 0xF5, ':', 0x00, 0x00},
                      kBaudSlow};
}

CDamagedByte Damaged(std::size_t nBlock, std::size_t nOffset) {
    return CDamagedByte{nBlock, nOffset, 1.0, ByteFault::undecided};
}

TEST(BlockPaneContent, EachBlockStartsInItsOwnViewAndKeepsTheChoiceMadeForIt) {
    CRelmuthDoc doc;
    doc.ReplaceTape({Basic(), Machine()});
    const std::vector<CDamagedByte> damage;
    CBlockPaneModel model(doc, damage);
    EXPECT_FALSE(model.GetContent().bBlock);

    model.ShowBlock(0);
    CBlockPaneContent content = model.GetContent();
    EXPECT_EQ(content.view, EBlockView::basic);
    EXPECT_EQ(content.strText, "10 PRINT \"ｱｲｳ\"\n20 GOTO 10\n");
    EXPECT_TRUE(content.notes.empty());

    model.SetView(EBlockView::hex);
    model.ShowBlock(0); // the same row again: the choice holds
    EXPECT_EQ(model.GetContent().view, EBlockView::hex);

    model.ShowBlock(1);
    content = model.GetContent();
    EXPECT_EQ(content.view, EBlockView::machine);
    EXPECT_EQ(std::vector<bool>(std::begin(content.fits), std::end(content.fits)),
              (std::vector<bool>{false, true, true}));
    model.SetView(EBlockView::basic); // machine code has no BASIC listing
    EXPECT_EQ(model.GetView(), EBlockView::machine);

    // Another block under the same row starts in its own view.
    model.SetView(EBlockView::hex);
    doc.ReplaceBlock(1, Basic());
    model.ShowAfresh(1);
    EXPECT_EQ(model.GetView(), EBlockView::basic);

    model.ShowBlock(5);
    EXPECT_FALSE(model.GetContent().bBlock);
}

TEST(BlockPaneContent, ABadRecordIsToldAndTheDecodersMarksOnlyInTheDump) {
    CTapeBlock broken = Machine();
    broken.m_data[7] = 0x02; // LD A,#02 under the check byte of #01
    CRelmuthDoc doc;
    doc.ReplaceTape({broken});
    doc.SetModifiedFlag(false); // as opened
    const std::vector<CDamagedByte> damage = {Damaged(0, 7)};
    CBlockPaneModel model(doc, damage);
    model.ShowBlock(0);
    const std::string badCheck = "0004H のレコードのチェックサムが合いません。"
                                 "バイトは読めたまま表示しています。";
    CBlockPaneContent content = model.GetContent();
    EXPECT_EQ(content.notes, std::vector<std::string>{badCheck});
    EXPECT_TRUE(content.spans.empty());

    model.SetView(EBlockView::hex);
    content = model.GetContent();
    EXPECT_EQ(content.notes.back(), "録音から読めなかったバイト 1 個を色で示しています。");
    EXPECT_EQ(content.spans.size(), 2u);
}

TEST(BlockPaneContent, TheDumpHighlightsEachMarkedByteInBothColumnsWhileTheTapeIsAsOpened) {
    // Line 0 shows half-width katakana, each one UTF-16 unit over three
    // bytes of UTF-8; byte 17 is on the second line.
    ByteArray bytes(20, 0xB1);
    bytes[1] = 'A';
    CRelmuthDoc doc;
    doc.ReplaceTape({CTapeBlock{bytes, kBaudFast}});
    doc.SetModifiedFlag(false); // as opened
    const std::vector<CDamagedByte> damage = {Damaged(0, 3), Damaged(0, 17), Damaged(1, 0),
                                              Damaged(0, 99)};
    CBlockPaneModel model(doc, damage);
    model.ShowBlock(0);
    const CBlockPaneContent content = model.GetContent();
    const std::size_t nText = inspect::kDumpTextColumn;
    EXPECT_EQ(content.spans,
              (std::vector<CPaneSpan>{
                  {0, 8 + 9, 2}, {0, nText + 3, 1}, {1, 8 + 3, 2}, {1, nText + 1, 1}}));
    ASSERT_EQ(content.notes.size(), 1u);
    EXPECT_EQ(content.notes[0], "録音から読めなかったバイト 2 個を色で示しています。");

    // Once edited, the marks may belong to other bytes.
    doc.SetModifiedFlag();
    EXPECT_TRUE(model.GetContent().spans.empty());
    EXPECT_TRUE(model.GetContent().notes.empty());
}

} // namespace
