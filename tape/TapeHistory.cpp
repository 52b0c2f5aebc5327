// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeHistory.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

using Diff = std::ptrdiff_t;

// Marks are kept in block and offset order, as a recording gives them.
void SortMarks(CDamageMarks& marks) {
    std::stable_sort(marks.begin(), marks.end(), [](const CDamageMark& a, const CDamageMark& b) {
        return a.nBlock != b.nBlock ? a.nBlock < b.nBlock : a.nOffset < b.nOffset;
    });
}

// Every block has its note, also when the tape was changed past the
// history (a block arrived).
void FitNotes(CTapeContents tape) {
    tape.notes.resize(tape.blocks.size());
}

// Moves blocks [nAt, nAt + nCount) out of the tape with their marks and
// notes.
void TakeOut(CTapeContents tape, std::size_t nAt, std::size_t nCount,
             std::vector<CTapeBlock>& blocks, CDamageMarks& marks, std::vector<CBlockNote>& notes) {
    FitNotes(tape);
    const auto first = tape.blocks.begin() + static_cast<Diff>(nAt);
    const auto last = first + static_cast<Diff>(nCount);
    blocks.assign(std::make_move_iterator(first), std::make_move_iterator(last));
    tape.blocks.erase(first, last);
    const auto firstNote = tape.notes.begin() + static_cast<Diff>(nAt);
    const auto lastNote = firstNote + static_cast<Diff>(nCount);
    notes.assign(std::make_move_iterator(firstNote), std::make_move_iterator(lastNote));
    tape.notes.erase(firstNote, lastNote);
    marks.clear();
    CDamageMarks kept;
    for (CDamageMark mark : tape.marks) {
        if (mark.nBlock >= nAt && mark.nBlock < nAt + nCount) {
            mark.nBlock -= nAt;
            marks.push_back(mark);
        } else {
            if (mark.nBlock >= nAt + nCount)
                mark.nBlock -= nCount;
            kept.push_back(mark);
        }
    }
    tape.marks = std::move(kept);
}

// Moves the blocks into the tape at nAt with their marks and notes; all
// three end empty.
void PutIn(CTapeContents tape, std::size_t nAt, std::vector<CTapeBlock>& blocks,
           CDamageMarks& marks, std::vector<CBlockNote>& notes) {
    FitNotes(tape);
    const std::size_t nCount = blocks.size();
    notes.resize(nCount);
    tape.blocks.insert(tape.blocks.begin() + static_cast<Diff>(nAt),
                       std::make_move_iterator(blocks.begin()),
                       std::make_move_iterator(blocks.end()));
    tape.notes.insert(tape.notes.begin() + static_cast<Diff>(nAt),
                      std::make_move_iterator(notes.begin()), std::make_move_iterator(notes.end()));
    for (CDamageMark& mark : tape.marks) {
        if (mark.nBlock >= nAt)
            mark.nBlock += nCount;
    }
    for (CDamageMark mark : marks) {
        mark.nBlock += nAt;
        tape.marks.push_back(mark);
    }
    SortMarks(tape.marks);
    blocks.clear();
    marks.clear();
    notes.clear();
}

} // namespace

bool CTapeHistory::Remove(CTapeContents tape, std::size_t nAt) {
    if (nAt >= tape.blocks.size())
        return false;
    CEdit edit{remove, nAt, 1, {}, {}, {}};
    TakeOut(tape, nAt, 1, edit.blocks, edit.marks, edit.notes);
    Record(std::move(edit));
    return true;
}

bool CTapeHistory::Insert(CTapeContents tape, std::size_t nAt, std::vector<CTapeBlock> blocks) {
    if (nAt > tape.blocks.size() || blocks.empty())
        return false;
    CEdit edit{insert, nAt, blocks.size(), std::move(blocks), {}, {}};
    PutIn(tape, nAt, edit.blocks, edit.marks, edit.notes);
    Record(std::move(edit));
    return true;
}

bool CTapeHistory::Swap(CTapeContents tape, std::size_t i, std::size_t j) {
    if (i >= tape.blocks.size() || j >= tape.blocks.size() || i == j)
        return false;
    CEdit edit{swap, i, j, {}, {}, {}};
    Apply(tape, edit, true);
    Record(std::move(edit));
    return true;
}

bool CTapeHistory::ReplaceByte(CTapeContents tape, std::size_t nBlock, std::size_t nOffset,
                               std::uint8_t nValue) {
    if (nBlock >= tape.blocks.size() || nOffset >= tape.blocks[nBlock].m_data.size())
        return false;
    // The edit holds the value and marks to come, and swaps them in.
    CEdit edit{byte, nBlock, nOffset, {}, MarksOfBlock(tape.marks, nBlock), {}, nValue};
    UnmarkByte(edit.marks, nBlock, nOffset, tape.blocks[nBlock].m_nBaud);
    Apply(tape, edit, true);
    Record(std::move(edit));
    return true;
}

bool CTapeHistory::ReplaceTape(CTapeContents tape, std::vector<CTapeBlock> blocks,
                               CDamageMarks marks, std::vector<CBlockNote> notes) {
    notes.resize(blocks.size());
    CEdit edit{CTapeHistory::whole, tape.blocks.size(), 0,
               std::move(blocks),   std::move(marks),   std::move(notes)};
    Apply(tape, edit, true);
    Record(std::move(edit));
    return true;
}

void CTapeHistory::Record(CEdit edit) {
    m_undone.clear();
    if (m_nSavedAt > m_done.size())
        m_nSavedAt = kUnreachable; // the saved tape was among the edits just dropped
    m_done.push_back(std::move(edit));
}

bool CTapeHistory::Fits(const CEdit& edit, bool bForward, const std::vector<CTapeBlock>& blocks) {
    const std::size_t nBlocks = blocks.size();
    switch (edit.kind) {
    case whole:
        return edit.nAt <= nBlocks;
    case byte:
        return edit.nAt < nBlocks && edit.nCount < blocks[edit.nAt].m_data.size();
    case swap:
        return edit.nAt < nBlocks && edit.nCount < nBlocks;
    case insert:
        // Forward the blocks go in at nAt; backward they are taken out there.
        return bForward ? edit.nAt <= nBlocks : edit.nAt + edit.nCount <= nBlocks;
    case remove:
        return bForward ? edit.nAt + edit.nCount <= nBlocks : edit.nAt <= nBlocks;
    }
    return false;
}

void CTapeHistory::Apply(CTapeContents tape, CEdit& edit, bool bForward) {
    switch (edit.kind) {
    case CTapeHistory::whole: {
        // Both ways the same: the tape for the edit's, but for the blocks
        // that arrived since, which stay at the end.
        std::vector<CTapeBlock> arrived;
        CDamageMarks arrivedMarks;
        std::vector<CBlockNote> arrivedNotes;
        TakeOut(tape, edit.nAt, tape.blocks.size() - edit.nAt, arrived, arrivedMarks, arrivedNotes);
        std::swap(tape.blocks, edit.blocks);
        std::swap(tape.marks, edit.marks);
        std::swap(tape.notes, edit.notes);
        edit.nAt = tape.blocks.size();
        PutIn(tape, tape.blocks.size(), arrived, arrivedMarks, arrivedNotes);
        return;
    }
    case swap:
        FitNotes(tape);
        std::swap(tape.blocks[edit.nAt], tape.blocks[edit.nCount]);
        std::swap(tape.notes[edit.nAt], tape.notes[edit.nCount]);
        SwapBlockMarks(tape.marks, edit.nAt, edit.nCount);
        SortMarks(tape.marks);
        return;
    case byte: {
        // Both ways the same: the tape's value and marks for the edit's.
        std::swap(tape.blocks[edit.nAt].m_data[edit.nCount], edit.nByte);
        CDamageMarks others = MarksOfBlock(tape.marks, edit.nAt);
        std::erase_if(tape.marks, [&](const CDamageMark& mark) { return mark.nBlock == edit.nAt; });
        tape.marks.insert(tape.marks.end(), edit.marks.begin(), edit.marks.end());
        SortMarks(tape.marks);
        edit.marks = std::move(others);
        return;
    }
    case insert:
    case remove:
        if ((edit.kind == insert) == bForward)
            PutIn(tape, edit.nAt, edit.blocks, edit.marks, edit.notes);
        else
            TakeOut(tape, edit.nAt, edit.nCount, edit.blocks, edit.marks, edit.notes);
        return;
    }
}

bool CTapeHistory::Undo(CTapeContents tape) {
    if (m_done.empty())
        return false;
    if (!Fits(m_done.back(), false, tape.blocks)) {
        Clear();
        m_nSavedAt = kUnreachable; // whatever the tape is now, it is no saved one
        return false;
    }
    Apply(tape, m_done.back(), false);
    m_undone.push_back(std::move(m_done.back()));
    m_done.pop_back();
    return true;
}

bool CTapeHistory::Redo(CTapeContents tape) {
    if (m_undone.empty())
        return false;
    if (!Fits(m_undone.back(), true, tape.blocks)) {
        Clear();
        m_nSavedAt = kUnreachable;
        return false;
    }
    Apply(tape, m_undone.back(), true);
    m_done.push_back(std::move(m_undone.back()));
    m_undone.pop_back();
    return true;
}

std::optional<CTapeHistory::CEditPlaces> CTapeHistory::GetNextUndo() const {
    if (m_done.empty())
        return std::nullopt;
    return CEditPlaces{m_done.back().kind, m_done.back().nAt, m_done.back().nCount};
}

std::optional<CTapeHistory::CEditPlaces> CTapeHistory::GetNextRedo() const {
    if (m_undone.empty())
        return std::nullopt;
    return CEditPlaces{m_undone.back().kind, m_undone.back().nAt, m_undone.back().nCount};
}

void CTapeHistory::OnSaved() {
    m_nSavedAt = m_done.size();
    m_bArrivedSinceSaved = false;
}

void CTapeHistory::Clear() {
    m_done.clear();
    m_undone.clear();
    m_nSavedAt = 0;
    m_bArrivedSinceSaved = false;
}
