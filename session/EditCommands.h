// SPDX-License-Identifier: GPL-3.0-or-later
// The Edit menu on the block list: undo and redo, cut, copy, paste,
// delete, move up and move down of the one selected block. Each command is an edit of the
// document, whose update the rows follow; pasted text goes through the
// receiver, like serial input, so a pasted block ends at the end of the
// tape.
#pragma once

#include <string>

#include "session/BlockRows.h"
#include "session/ReceiveContext.h"

// The clipboard as one plain text in and out.
class CClipboard {
  public:
    virtual ~CClipboard() = default;
    // The clipboard's text; empty when it holds none.
    virtual std::string GetText() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

class CEditCommands {
  public:
    CEditCommands(CRelmuthDoc& doc, CBlockRows& rows, CClipboard& clipboard,
                  CReceiveContext& receive);

    // Update rules: whether each command is offered now.
    bool CanCutCopyDelete() const; // a row is selected
    bool CanPaste() const;         // the clipboard holds transfer text
    bool CanMoveUp() const;        // the selected row is not the first
    bool CanMoveDown() const;      // a row is selected and it is not the last
    bool CanUndo() const;          // an edit is there to take back
    bool CanRedo() const;          // an edit taken back is there to do again

    void OnEditCut();
    void OnEditCopy();
    void OnEditPaste();
    void OnEditClear();
    void OnMoveUp();
    void OnMoveDown();
    void OnEditUndo();
    void OnEditRedo();

  private:
    // The selected row when it has a block, else -1.
    int SelectedBlock() const;
    // Block i changes places with block j (its neighbour); row j then shows
    // it, selected.
    void SwapWithNeighbour(int i, int j);

    CRelmuthDoc& m_doc;
    CBlockRows& m_rows;
    CClipboard& m_clipboard;
    CReceiveContext& m_receive;
};
