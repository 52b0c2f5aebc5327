// SPDX-License-Identifier: GPL-3.0-or-later
// What the pane below the block list shows, whatever draws it: the selected
// block in the view its kind suggests (a BASIC listing, a disassembly, dump
// lines) or the one the user picked, what could not be read whole, and in
// the dump the bytes marked damaged: the tape's own marks (which follow
// their blocks, and come back from a KXM image) and, while the tape is as
// it was opened, the recording decoder's (which count blocks as opened).
#pragma once

#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "audio/Recording.h"
#include "inspect/BlockView.h"
#include "res/Strings.h"
#include "tape/RelmuthDoc.h"

// The views in the order the pane offers them.
inline constexpr inspect::EBlockView kPaneViews[] = {
    inspect::EBlockView::basic, inspect::EBlockView::machine, inspect::EBlockView::hex};
inline constexpr std::size_t kPaneViewCount = std::size(kPaneViews);

// The name of a view, as the pane's chooser shows it.
res::StringId PaneViewName(inspect::EBlockView view);

// A stretch of the pane's text to highlight: a line (from 0), the column it
// starts at and its length, both in UTF-16 code units, as the toolkits
// count a line's characters.
struct CPaneSpan {
    std::size_t nLine;
    std::size_t nColumn;
    std::size_t nLength;
    friend bool operator==(const CPaneSpan&, const CPaneSpan&) = default;
};

struct CBlockPaneContent {
    bool bBlock = false; // a block is shown; else the pane is blank
    inspect::EBlockView view = inspect::EBlockView::hex;
    bool fits[kPaneViewCount] = {}; // which of kPaneViews can show the block
    std::string strText;            // lines ending in LF
    std::vector<std::string> notes; // what could not be read whole, then the marked bytes
    // Two per marked byte: its hex field and its character.
    std::vector<CPaneSpan> spans;
};

// Which block the pane shows and in which view; the pane's toolkit code
// asks it for the content whenever the selection or the document changes.
class CBlockPaneModel {
  public:
    // damage: the bytes of the recording the tape was opened from that did
    // not decode cleanly; both must outlive the model.
    CBlockPaneModel(const CRelmuthDoc& doc, const std::vector<CDamagedByte>& damage)
        : m_doc(doc), m_damage(damage) {}

    // Block nIndex (-1, or an index past the tape: none), in its suggested
    // view when it is another block than the one shown.
    void ShowBlock(int nIndex);
    // The document changed: the rows may hold other blocks under the same
    // index, so block nIndex starts again in its suggested view.
    void ShowAfresh(int nIndex);
    // The user's choice; a view that does not fit the block is not taken.
    void SetView(inspect::EBlockView view);

    int GetIndex() const { return m_nIndex; }
    // The view shown: the one chosen, or the suggested one when the block
    // it was chosen for has changed.
    inspect::EBlockView GetView() const;
    CBlockPaneContent GetContent() const;

  private:
    const CTapeBlock* Shown() const;

    const CRelmuthDoc& m_doc;
    const std::vector<CDamagedByte>& m_damage;
    int m_nIndex = -1;
    inspect::EBlockView m_view = inspect::EBlockView::hex;
};

// The spans of the marked bytes at offsets of a dump's text: each byte's
// hex field and its character.
std::vector<CPaneSpan> DumpSpans(const std::string& strDump, std::span<const std::size_t> offsets);
