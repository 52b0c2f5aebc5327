// SPDX-License-Identifier: GPL-3.0-or-later
// The pane below the block list: what the selected block holds, in the view
// its kind suggests (a BASIC listing, a disassembly, dump lines) or the one
// the user picks, in a fixed-width font with Japanese glyphs. It follows the
// list's selection and the document's changes (a block that arrives is
// shown as the list selects it). In the dump, bytes that the recording's
// decoder marked damaged are highlighted while the tape is as it was opened.
#pragma once

#include <QWidget>

#include <functional>

#include "audio/Recording.h"
#include "inspect/BlockView.h"
#include "session/BlockPaneContent.h"
#include "tape/RelmuthDoc.h"

class QAbstractItemView;
class QComboBox;
class QLabel;
class QPlainTextEdit;

class CBlockPane : public QWidget, public CDocumentView {
    Q_OBJECT

  public:
    // damage: the bytes of the recording the tape was opened from that did
    // not decode cleanly, by block and offset as opened; it must outlive the
    // pane.
    CBlockPane(CRelmuthDoc& doc, const std::vector<CDamagedByte>& damage,
               QWidget* parent = nullptr);
    ~CBlockPane() override;

    // Shows the block of the list's selected row (selectedRow gives it, -1
    // for none) whenever the list's selection changes.
    void Follow(QAbstractItemView* pList, std::function<int()> selectedRow);

    // Shows block nIndex (-1, or an index past the tape: nothing) in its
    // suggested view.
    void ShowBlock(int nIndex);
    void OnUpdate(CDocumentView* pSender, const CDocUpdate& update) override;

    // For the user's choice and for tests.
    void SetView(inspect::EBlockView view);
    inspect::EBlockView GetView() const { return m_model.GetView(); }
    QString GetText() const;
    QString GetNote() const;
    // The dump's highlighted byte fields (each byte marks its hex field and
    // its character).
    int GetHighlightCount() const;

  private:
    void Refresh();
    void Highlight(const std::vector<CPaneSpan>& spans);

    CRelmuthDoc& m_doc;
    CBlockPaneModel m_model;
    std::function<int()> m_selectedRow;
    QComboBox* m_viewBox = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_note = nullptr;
};
