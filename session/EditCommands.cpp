// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/EditCommands.h"

#include <utility>

#include "serial/LineFraming.h"

CEditCommands::CEditCommands(CRelmuthDoc& doc, CBlockRows& rows, CClipboard& clipboard,
                             CReceiveContext& receive)
    : m_doc(doc), m_rows(rows), m_clipboard(clipboard), m_receive(receive) {}

int CEditCommands::SelectedBlock() const {
    const int i = m_rows.GetSelectedRow();
    if (i < 0 || static_cast<std::size_t>(i) >= m_doc.m_blocks.size())
        return -1;
    return i;
}

bool CEditCommands::CanCutCopyDelete() const {
    return SelectedBlock() >= 0;
}

bool CEditCommands::CanPaste() const {
    return IsTransferClipboardText(m_clipboard.GetText());
}

bool CEditCommands::CanMoveUp() const {
    return SelectedBlock() > 0;
}

bool CEditCommands::CanMoveDown() const {
    const int i = SelectedBlock();
    return i >= 0 && i < m_rows.GetRowCount() - 1 &&
           static_cast<std::size_t>(i) + 1 < m_doc.m_blocks.size();
}

void CEditCommands::OnEditCopy() {
    const int i = SelectedBlock();
    if (i < 0)
        return;
    m_clipboard.SetText(m_doc.GetBlockText(m_doc.m_blocks[static_cast<std::size_t>(i)]));
}

void CEditCommands::OnEditClear() {
    const int i = SelectedBlock();
    if (i < 0)
        return;
    m_doc.EraseBlock(static_cast<std::size_t>(i));
}

void CEditCommands::OnEditCut() {
    OnEditCopy();
    OnEditClear();
}

void CEditCommands::OnEditPaste() {
    m_receive.PasteText(m_clipboard.GetText());
}

void CEditCommands::SwapWithNeighbour(int i, int j) {
    m_doc.MoveBlock(static_cast<std::size_t>(i), static_cast<std::size_t>(j));
    m_rows.SelectRow(j);
    m_rows.EnsureRowVisible(j);
}

void CEditCommands::OnMoveUp() {
    if (CanMoveUp()) {
        const int i = SelectedBlock();
        SwapWithNeighbour(i, i - 1);
    }
}

void CEditCommands::OnMoveDown() {
    if (CanMoveDown()) {
        const int i = SelectedBlock();
        SwapWithNeighbour(i, i + 1);
    }
}

bool CEditCommands::CanUndo() const {
    return m_doc.CanUndo();
}

bool CEditCommands::CanRedo() const {
    return m_doc.CanRedo();
}

void CEditCommands::OnEditUndo() {
    m_doc.Undo();
}

void CEditCommands::OnEditRedo() {
    m_doc.Redo();
}
