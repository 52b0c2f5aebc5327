// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo of the edits of a tape: removing a block (delete, cut),
// putting blocks in (paste), swapping two blocks (move up, move down),
// another reading for one byte (picked on the waveform), another tape as a
// whole (another take merged in). Each
// edit is kept as what it did, not as a copy of the tape: a removed block
// is held by the history until it goes back, a move holds nothing but its
// two places, a byte its other value. Damage marks go and come back with
// their blocks, and so do the blocks' notes; a byte given another reading is
// marked no more, until undo.
//
// A block that arrives over the line is no edit: it is appended at the
// end, no undo takes it away, and undo and redo go on around it (every
// edit lies among the blocks that were there before it, so a block added
// at the end never moves an edit's places).
//
// The tape is modified while it is not at the point in the history where
// it was last saved, opened or made new, or once a block arrived since.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "tape/BlockNotes.h"
#include "tape/DamageMarks.h"
#include "tape/TapeBlock.h"

// The tape the history works on: the document's blocks, their marks and
// their notes (one for every block).
struct CTapeContents {
    std::vector<CTapeBlock>& blocks;
    CDamageMarks& marks;
    std::vector<CBlockNote>& notes;
};

class CTapeHistory {
  public:
    enum EditKind { insert, remove, swap, byte, whole };
    // An edit's kind and places: insert, remove: the first block and how
    // many; swap: the two places; byte: its block and offset; whole: none.
    struct CEditPlaces {
        EditKind kind;
        std::size_t nAt;
        std::size_t nCount;
        friend bool operator==(const CEditPlaces&, const CEditPlaces&) = default;
    };

    // The edits: each changes the tape and is recorded; a new edit drops
    // whatever could be redone. Places that the tape does not have are no
    // edit: nothing changes and false is returned.
    bool Remove(CTapeContents tape, std::size_t nAt);
    bool Insert(CTapeContents tape, std::size_t nAt, std::vector<CTapeBlock> blocks);
    bool Swap(CTapeContents tape, std::size_t i, std::size_t j);
    // Byte nOffset of block nBlock becomes nValue and leaves the block's
    // marks (UnmarkByte).
    bool ReplaceByte(CTapeContents tape, std::size_t nBlock, std::size_t nOffset,
                     std::uint8_t nValue);
    // The whole tape becomes these blocks with their marks and notes (a
    // note for every block).
    bool ReplaceTape(CTapeContents tape, std::vector<CTapeBlock> blocks, CDamageMarks marks,
                     std::vector<CBlockNote> notes);

    // A block arrived at the end of the tape (appended by the caller).
    void OnBlockArrived() { m_bArrivedSinceSaved = true; }

    bool CanUndo() const { return !m_done.empty(); }
    bool CanRedo() const { return !m_undone.empty(); }
    // The edit the next undo takes back (the next redo puts back).
    std::optional<CEditPlaces> GetNextUndo() const;
    std::optional<CEditPlaces> GetNextRedo() const;
    // Takes back the last edit (puts back the last one taken back). False,
    // with the history emptied and the tape untouched, when the tape was
    // changed past the history (it no longer has the edit's places).
    bool Undo(CTapeContents tape);
    bool Redo(CTapeContents tape);

    // The tape as it is now was saved.
    void OnSaved();
    // A new or opened tape: nothing to undo, not modified.
    void Clear();

    bool IsModified() const { return m_bArrivedSinceSaved || m_done.size() != m_nSavedAt; }

  private:
    struct CEdit {
        EditKind kind;
        // insert, remove: the first block; swap: one of the two; byte: its
        // block; whole: how many blocks of the tape it made (those after
        // them arrived since)
        std::size_t nAt;
        std::size_t
            nCount; // insert, remove: how many blocks; swap: the other place; byte: its offset
        // The blocks while they are out of the tape (after a remove, after
        // an insert was undone), their marks counted from the first of them.
        // Byte: the marks of its block that the tape does not hold now.
        // Whole: the tape that it does not hold now.
        std::vector<CTapeBlock> blocks;
        CDamageMarks marks;
        std::vector<CBlockNote> notes; // the blocks' notes, block for block
        std::uint8_t nByte = 0;        // byte: the value the tape does not hold now
    };
    static constexpr std::size_t kUnreachable = std::numeric_limits<std::size_t>::max();

    void Record(CEdit edit);
    static bool Fits(const CEdit& edit, bool bForward, const std::vector<CTapeBlock>& blocks);
    static void Apply(CTapeContents tape, CEdit& edit, bool bForward);

    std::vector<CEdit> m_done;   // undo takes the last
    std::vector<CEdit> m_undone; // redo takes the last
    std::size_t m_nSavedAt = 0;  // how many edits were done when the tape was saved
    bool m_bArrivedSinceSaved = false;
};
