// SPDX-License-Identifier: GPL-3.0-or-later
// The pane below the block list (表示 > ブロックの内容): what the selected
// block holds, in the view its kind suggests or the one picked in the combo
// box (which lists the views that fit the block), in a read-only rich edit
// control with a fixed font, the notes on what could not be read whole
// above it, and in the dump the bytes the recording's decoder marked on a
// red ground. A child of the frame, hidden until shown; the frame lays it
// out below the list and the list's selection changes tell it which block
// to show. While hidden it only notes which; it fills its controls as it
// shows. What it shows is session/BlockPaneContent's.
#pragma once

#include "win32/Relmuth.h"

#include <functional>
#include <string>
#include <vector>

#include "session/BlockPaneContent.h"

class CBlockPane final : public CDocumentView {
  public:
    // damage must outlive the pane.
    CBlockPane(CRelmuthDoc& doc, const std::vector<CDamagedByte>& damage);
    ~CBlockPane() override;
    CBlockPane(const CBlockPane&) = delete;
    CBlockPane& operator=(const CBlockPane&) = delete;

    bool Create(HWND hwndParent);
    HWND GetHwnd() const { return m_hwnd; }
    // The text, where the keys go when the pane has the focus.
    HWND GetTextHwnd() const { return m_hwndText; }
    // Shown as the frame lays it out, whether or not the frame is on screen.
    bool IsShown() const;
    void Show(bool bShow);

    // The row selected in the list (-1 for none), asked after every change
    // of the document.
    void SetSelectedRow(std::function<int()> selectedRow) {
        m_selectedRow = std::move(selectedRow);
    }
    // Block nIndex (-1, or past the tape: nothing), in its suggested view
    // when it is another block than the one shown.
    void ShowBlock(int nIndex);
    void OnUpdate(CDocumentView* pSender, const CDocUpdate& update) override;

    // For the user's choice and for tests.
    void SetView(inspect::EBlockView view);
    inspect::EBlockView GetView() const { return m_model.GetView(); }
    std::wstring GetText() const; // with LF line ends, as the content has them
    std::wstring GetNote() const;
    std::vector<std::wstring> GetViewEntries() const; // the combo box's
    // The highlighted stretches of text, two per marked byte.
    std::size_t GetHighlightCount() const { return m_nSpans; }

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    bool CreateChildren();
    void Layout();
    void Refresh();
    void Highlight(const std::vector<CPaneSpan>& spans);

    CRelmuthDoc& m_doc;
    CBlockPaneModel m_model;
    std::function<int()> m_selectedRow;
    HWND m_hwnd = nullptr;
    HWND m_hwndViews = nullptr;
    HWND m_hwndNote = nullptr;
    HWND m_hwndText = nullptr;
    HMODULE m_hRichEdit = nullptr;
    HFONT m_hFont = nullptr;
    std::vector<inspect::EBlockView> m_entries; // the combo box's views, in its order
    std::wstring m_note;
    std::size_t m_nSpans = 0;
    bool m_bStale = false; // the block changed while the pane was hidden
};
