// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/EditCommands.h"
#include "tape/BlockText.h"

namespace {

// A list control: rows of texts that follow the document's updates, and
// one selected row. Rows removed or inserted before it move the selection
// with its row, as the window list does; a removed or moved row that was
// selected leaves none selected.
class CFakeRows : public CBlockRows, public CDocumentView {
  public:
    explicit CFakeRows(const CRelmuthDoc& doc) : m_doc(doc) {}
    std::vector<CRowTexts> rows;
    int selected = -1;

    int GetRowCount() const override { return static_cast<int>(rows.size()); }
    int GetSelectedRow() const override { return selected; }
    void SelectRow(int nIndex) override { selected = nIndex; }
    void OnUpdate(CDocumentView*, const CDocUpdate& update) override {
        const int i = static_cast<int>(update.nIndex);
        switch (update.kind) {
        case CDocUpdate::inserted:
            Insert(i);
            break;
        case CDocUpdate::removed:
            Remove(i);
            break;
        case CDocUpdate::moved:
            Remove(i);
            Insert(static_cast<int>(update.nTo));
            break;
        case CDocUpdate::replaced:
            rows[update.nIndex] = GetRowTexts(m_doc, m_doc.m_blocks[update.nIndex]);
            break;
        case CDocUpdate::reset:
            rows.clear();
            selected = -1;
            for (const CTapeBlock& block : m_doc.m_blocks)
                rows.push_back(GetRowTexts(m_doc, block));
            break;
        }
    }

  private:
    void Insert(int i) {
        rows.insert(rows.begin() + i,
                    GetRowTexts(m_doc, m_doc.m_blocks[static_cast<std::size_t>(i)]));
        if (selected >= i)
            ++selected;
    }
    void Remove(int i) {
        rows.erase(rows.begin() + i);
        if (selected == i)
            selected = -1;
        else if (selected > i)
            --selected;
    }
    const CRelmuthDoc& m_doc;
};

class CFakeClipboard : public CClipboard {
  public:
    std::string text;
    std::string GetText() const override { return text; }
    void SetText(const std::string& t) override { text = t; }
};

// The view's part in receiving: the new block is selected, messages are
// counted.
class CFakeView : public CReceiveUi {
  public:
    explicit CFakeView(CFakeRows& rows) : m_rows(rows) {}
    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId) override { ++messages; }
    void SelectBlock(std::size_t nIndex) override { m_rows.SelectRow(static_cast<int>(nIndex)); }
    int messages = 0;

  private:
    CFakeRows& m_rows;
};

// One block whose bytes name it: A, B, C...
CTapeBlock Named(char c, int baud = 1200) {
    return CTapeBlock{ByteArray{static_cast<std::uint8_t>(c), 0x01, 0x02}, baud};
}

class EditCommands : public testing::Test {
  protected:
    EditCommands() {
        doc.AddView(&rows);
        receive.InstallReceiver();
    }
    ~EditCommands() override { doc.RemoveView(&rows); }
    // The tape and its rows, saved, with row `sel` selected.
    void Load(std::string names, int sel) {
        std::vector<CTapeBlock> blocks;
        for (char c : names)
            blocks.push_back(Named(c));
        doc.ReplaceTape(std::move(blocks));
        doc.SetModifiedFlag(false);
        rows.selected = sel;
    }
    std::string Names() const {
        std::string s;
        for (const CTapeBlock& b : doc.m_blocks)
            s += static_cast<char>(b.m_data.at(0));
        return s;
    }
    // Rows and blocks in step, text by text.
    void ExpectRowsShowTheTape() const {
        ASSERT_EQ(rows.rows.size(), doc.m_blocks.size());
        for (std::size_t i = 0; i < rows.rows.size(); ++i)
            EXPECT_EQ(rows.rows[i], GetRowTexts(doc, doc.m_blocks[i])) << "row " << i;
    }

    CRelmuthDoc doc;
    CFakeRows rows{doc};
    CFakeClipboard clipboard;
    CFakeView view{rows};
    CReceiveContext receive{doc, view};
    CEditCommands edit{doc, rows, clipboard, receive};
};

TEST_F(EditCommands, CommandsAreOfferedByTheSelectedRow) {
    struct Case {
        std::string tape;
        int sel;
        bool cutCopyDelete, up, down;
    };
    const Case cases[] = {
        {"", -1, false, false, false},  {"ABC", -1, false, false, false},
        {"ABC", 0, true, false, true},  {"ABC", 1, true, true, true},
        {"ABC", 2, true, true, false},  {"A", 0, true, false, false},
        {"AB", 5, false, false, false}, // a row beyond the tape is never acted on
    };
    for (const Case& c : cases) {
        Load(c.tape, c.sel);
        SCOPED_TRACE(c.tape + " selected " + std::to_string(c.sel));
        EXPECT_EQ(edit.CanCutCopyDelete(), c.cutCopyDelete);
        EXPECT_EQ(edit.CanMoveUp(), c.up);
        EXPECT_EQ(edit.CanMoveDown(), c.down);
        // Commands that are not offered do nothing when given anyway.
        if (!c.cutCopyDelete) {
            edit.OnEditCut();
            edit.OnEditClear();
        }
        if (!c.up)
            edit.OnMoveUp();
        if (!c.down)
            edit.OnMoveDown();
        EXPECT_EQ(Names(), c.tape);
        EXPECT_FALSE(doc.IsModified());
    }
}

TEST_F(EditCommands, PasteIsOfferedForAnUpperCaseHeaderLineOnly) {
    const std::pair<std::string, bool> cases[] = {
        {"CAS1\r\n0000\r\n00\r\n", true},
        {"CAS2\r\n", true},
        {"cas1\r\n0000\r\n00\r\n", false},
        {"CAS1\n0000\n00\n", false},
        {"CAS1", false},
        {" CAS1\r\n", false},
        {"", false},
        {std::string("CA\0S1\r\n", 7), false},
    };
    for (const auto& [text, offered] : cases) {
        clipboard.text = text;
        EXPECT_EQ(edit.CanPaste(), offered) << text;
    }
    clipboard.text = "cas1\r\n0003\r\n0102FF\r\n02\r\n";
    edit.OnEditPaste();
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(EditCommands, MoveSwapsWithTheNeighbourAndKeepsTheBlockSelected) {
    Load("ABC", 1);
    edit.OnMoveUp();
    EXPECT_EQ(Names(), "BAC");
    EXPECT_EQ(rows.selected, 0);
    EXPECT_TRUE(doc.IsModified());
    ExpectRowsShowTheTape();

    Load("ABC", 1);
    edit.OnMoveDown();
    EXPECT_EQ(Names(), "ACB");
    EXPECT_EQ(rows.selected, 2);
    EXPECT_TRUE(doc.IsModified());
    ExpectRowsShowTheTape();
}

TEST_F(EditCommands, CopyPutsExactlyTheBlockTextAndChangesNothing) {
    Load("ABC", 1);
    edit.OnEditCopy();
    EXPECT_EQ(clipboard.text, "CAS1\r\n0003\r\n420102\r\n45\r\n");
    EXPECT_EQ(Names(), "ABC");
    EXPECT_EQ(rows.selected, 1);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(EditCommands, CutThenPasteMovesTheBlockToTheEnd) {
    Load("ABC", 0);
    edit.OnEditCut();
    EXPECT_EQ(Names(), "BC");
    EXPECT_EQ(rows.selected, -1);
    EXPECT_TRUE(doc.IsModified());
    ExpectRowsShowTheTape();

    rows.selected = 0; // the pasted block goes to the end whatever is selected
    ASSERT_TRUE(edit.CanPaste());
    edit.OnEditPaste();
    EXPECT_EQ(Names(), "BCA");
    EXPECT_EQ(doc.m_blocks.back(), Named('A'));
    EXPECT_EQ(rows.selected, 2);
    ExpectRowsShowTheTape();
}

TEST_F(EditCommands, PasteAppendsEveryBlockOfTheTextInOrder) {
    Load("A", -1);
    // Two transfers, the second at 600 baud with bare line feeds after its
    // header line, and a bad third one: the first two stay.
    clipboard.text =
        GetBlockText(Named('X')) + "CAS2\r\n0003\n580102\n5B\n" + "CAS1\r\n0002\r\nZZ\r\n";
    edit.OnEditPaste();
    EXPECT_EQ(Names(), "AXX");
    EXPECT_EQ(doc.m_blocks[2].m_nBaud, 600);
    EXPECT_EQ(view.messages, 1);
    EXPECT_EQ(rows.selected, 2);
    ExpectRowsShowTheTape();
}

TEST_F(EditCommands, DeleteOfTheOnlyBlockLeavesAnEmptyModifiedTape) {
    Load("A", 0);
    edit.OnEditClear();
    EXPECT_TRUE(doc.m_blocks.empty());
    EXPECT_TRUE(rows.rows.empty());
    EXPECT_TRUE(doc.IsModified());
}

} // namespace

// Each command, then undo: the tape (and its rows) before it, not modified
// again where it was saved; redo: the tape after it.
TEST_F(EditCommands, UndoAfterEachCommandGivesTheTapeBeforeItAndRedoTheTapeAfter) {
    struct Case {
        const char* name;
        int sel;
        void (CEditCommands::*command)();
        const char* after;
    };
    const Case cases[] = {
        {"delete", 1, &CEditCommands::OnEditClear, "AC"},
        {"cut", 0, &CEditCommands::OnEditCut, "BC"},
        {"move up", 2, &CEditCommands::OnMoveUp, "ACB"},
        {"move down", 0, &CEditCommands::OnMoveDown, "BAC"},
        {"paste", 1, &CEditCommands::OnEditPaste, "ABCB"},
    };
    for (const Case& c : cases) {
        Load("ABC", c.sel);
        clipboard.text = GetBlockText(Named('B'));
        EXPECT_FALSE(edit.CanUndo()) << c.name;
        (edit.*c.command)();
        EXPECT_EQ(Names(), c.after) << c.name;
        EXPECT_TRUE(doc.IsModified()) << c.name;
        ASSERT_TRUE(edit.CanUndo()) << c.name;
        edit.OnEditUndo();
        EXPECT_EQ(Names(), "ABC") << c.name;
        ExpectRowsShowTheTape();
        EXPECT_FALSE(doc.IsModified()) << c.name;
        EXPECT_FALSE(edit.CanUndo()) << c.name;
        ASSERT_TRUE(edit.CanRedo()) << c.name;
        edit.OnEditRedo();
        EXPECT_EQ(Names(), c.after) << c.name;
        ExpectRowsShowTheTape();
        EXPECT_TRUE(doc.IsModified()) << c.name;
    }
}

// A block from the line is no edit: undo goes on around it and never takes
// it away, and the tape stays modified once it came.
TEST_F(EditCommands, AReceivedBlockIsNotUndoneAndUndoGoesOnAroundIt) {
    Load("ABC", 0);
    edit.OnEditClear(); // BC
    const std::string transfer = GetBlockText(Named('R'));
    receive.OnSerialBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(transfer.data()), transfer.size()));
    EXPECT_EQ(Names(), "BCR");
    edit.OnEditUndo();
    EXPECT_EQ(Names(), "ABCR");
    ExpectRowsShowTheTape();
    EXPECT_FALSE(edit.CanUndo());
    EXPECT_TRUE(doc.IsModified());
    doc.OnNewDocument();
    EXPECT_FALSE(edit.CanRedo()); // New empties the history
}
