// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <functional>

#include "TapeTestUtil.h"
#include "tape/TapeHistory.h"

namespace {

struct Tape {
    std::vector<CTapeBlock> blocks;
    CDamageMarks marks;
    std::vector<CBlockNote> notes = std::vector<CBlockNote>(blocks.size());
    CTapeContents Contents() { return {blocks, marks, notes}; }
    friend bool operator==(const Tape&, const Tape&) = default;
};

CDamageMark Mark(std::size_t nBlock, std::size_t nOffset) {
    return CDamageMark{nBlock, nOffset, 1, DamageKind::framing, 0};
}

CBlockNote Note(std::uint8_t nConfidence) {
    return CBlockNote{{nConfidence, nConfidence}, nullptr};
}

// Four blocks, the second and the fourth with marks, each with a note of
// its own.
Tape FourBlocks() {
    return Tape{{Block(Pattern(3, 1)), Block(Pattern(4, 2), 1200), Block(Pattern(5, 3)),
                 Block(Pattern(6, 4))},
                {Mark(1, 0), Mark(1, 3), Mark(3, 5)},
                {Note(1), Note(2), Note(3), Note(4)}};
}

TEST(TapeHistory, UndoAfterEachEditGivesTheTapeBeforeItAndRedoTheTapeAfter) {
    Tape tape = FourBlocks();
    CTapeHistory history;
    const std::function<bool()> edits[] = {
        [&] { return history.Swap(tape.Contents(), 1, 0); },              // move up
        [&] { return history.Remove(tape.Contents(), 0); },               // delete a marked block
        [&] { return history.ReplaceByte(tape.Contents(), 2, 5, 0xEE); }, // a marked byte
        [&] { return history.Swap(tape.Contents(), 1, 2); },              // move down onto marks
        [&] { return history.Insert(tape.Contents(), 3, {Block(Pattern(2, 9))}); }, // paste
        [&] { return history.Remove(tape.Contents(), 1); },
        [&] {
            return history.Insert(tape.Contents(), 1, {Block(Pattern(7, 5)), Block({})});
        },
        [&] { return history.ReplaceByte(tape.Contents(), 0, 2, 0x11); }, // an unmarked byte
        [&] {                                                             // another take merged in
            return history.ReplaceTape(tape.Contents(),
                                       {Block(Pattern(5, 3)), Block(Pattern(9, 9))}, {Mark(1, 2)},
                                       {Note(7)});
        },
        [&] { return history.Swap(tape.Contents(), 0, 1); },
    };
    std::vector<Tape> states{tape};
    for (const auto& edit : edits) {
        ASSERT_TRUE(edit());
        states.push_back(tape);
    }
    EXPECT_EQ(states[2].marks, (CDamageMarks{Mark(2, 5)})); // the marks went with their block
    EXPECT_TRUE(states[3].marks.empty()); // and the byte given another reading its mark
    EXPECT_EQ(states[3].blocks[2].m_data[5], 0xEE);
    EXPECT_EQ(states[8].blocks[0].m_data[2], 0x11);
    EXPECT_EQ(states[1].notes, (std::vector<CBlockNote>{Note(2), Note(1), Note(3), Note(4)}));
    EXPECT_EQ(states[2].notes, (std::vector<CBlockNote>{Note(1), Note(3), Note(4)}));
    EXPECT_EQ(states[7].notes.size(), states[7].blocks.size());
    // The merged tape: a note for every block, the ones not given empty.
    EXPECT_EQ(states[9].notes, (std::vector<CBlockNote>{Note(7), {}}));
    EXPECT_EQ(states[10].marks, (CDamageMarks{Mark(0, 2)}));

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(history.Undo(tape.Contents()));
        EXPECT_EQ(tape, states[i - 1]) << "undo of edit " << i;
    }
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.Undo(tape.Contents()));
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(history.Redo(tape.Contents()));
        EXPECT_EQ(tape, states[i]) << "redo of edit " << i;
    }
    EXPECT_FALSE(history.CanRedo());
}

TEST(TapeHistory, ABlockThatArrivedStaysThroughUndoAndRedo) {
    Tape tape = FourBlocks();
    CTapeHistory history;
    ASSERT_TRUE(history.Remove(tape.Contents(), 3));
    ASSERT_TRUE(history.Insert(tape.Contents(), 3, {Block(Pattern(8, 6))})); // pasted at the end
    ASSERT_TRUE(history.Swap(tape.Contents(), 0, 1));
    const CTapeBlock received = Block(Pattern(9, 7), 1200);
    tape.blocks.push_back(received);
    tape.notes.push_back(Note(9));
    history.OnBlockArrived();

    while (history.CanUndo())
        ASSERT_TRUE(history.Undo(tape.Contents()));
    Tape expected = FourBlocks();
    expected.blocks.push_back(received);
    expected.notes.push_back(Note(9));
    EXPECT_EQ(tape, expected);
    while (history.CanRedo())
        ASSERT_TRUE(history.Redo(tape.Contents()));
    EXPECT_EQ(tape.blocks.size(), 5u);
    EXPECT_EQ(tape.blocks.back(), received);
    EXPECT_EQ(tape.blocks[3], Block(Pattern(8, 6)));
}

TEST(TapeHistory, ABlockThatArrivedAfterAWholeTapeWasPutInStaysThroughItsUndo) {
    Tape tape = FourBlocks();
    const Tape before = tape;
    CTapeHistory history;
    ASSERT_TRUE(history.ReplaceTape(tape.Contents(), {Block(Pattern(5, 3))}, {Mark(0, 1)}, {}));
    tape.blocks.push_back(Block(Pattern(9, 7), 1200));
    tape.marks.push_back(Mark(1, 2));
    tape.notes.push_back(Note(9));
    history.OnBlockArrived();

    ASSERT_TRUE(history.Undo(tape.Contents()));
    Tape expected = before;
    expected.blocks.push_back(Block(Pattern(9, 7), 1200));
    expected.marks.push_back(Mark(4, 2));
    expected.notes.push_back(Note(9));
    EXPECT_EQ(tape, expected);
    ASSERT_TRUE(history.Redo(tape.Contents()));
    EXPECT_EQ(tape, (Tape{{Block(Pattern(5, 3)), Block(Pattern(9, 7), 1200)},
                          {Mark(0, 1), Mark(1, 2)},
                          {{}, Note(9)}}));
}

TEST(TapeHistory, ModifiedFollowsThePointWhereTheTapeWasSaved) {
    Tape tape = FourBlocks();
    CTapeHistory history;
    EXPECT_FALSE(history.IsModified());
    history.Remove(tape.Contents(), 0);
    EXPECT_TRUE(history.IsModified());
    history.Undo(tape.Contents());
    EXPECT_FALSE(history.IsModified()); // back where it was opened
    history.Redo(tape.Contents());
    history.OnSaved();
    EXPECT_FALSE(history.IsModified());
    history.Undo(tape.Contents());
    EXPECT_TRUE(history.IsModified());
    // A new edit from here drops the saved tape from the history for good.
    history.Swap(tape.Contents(), 0, 1);
    EXPECT_TRUE(history.IsModified());
    history.Undo(tape.Contents());
    EXPECT_TRUE(history.IsModified());

    // A block that arrived is unsaved whatever is undone.
    history.OnSaved();
    history.OnBlockArrived();
    EXPECT_TRUE(history.IsModified());
    history.OnSaved();
    EXPECT_FALSE(history.IsModified());

    history.Clear(); // New, Open
    EXPECT_FALSE(history.IsModified());
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
}

// Undo and redo say which edit they take back or put back next.
TEST(TapeHistory, NextUndoAndRedoNameTheirEditAndItsPlaces) {
    Tape tape = FourBlocks();
    CTapeHistory history;
    EXPECT_EQ(history.GetNextUndo(), std::nullopt);
    history.Swap(tape.Contents(), 2, 3);
    history.ReplaceByte(tape.Contents(), 1, 3, 0);
    using Places = CTapeHistory::CEditPlaces;
    EXPECT_EQ(history.GetNextUndo(), (Places{CTapeHistory::byte, 1, 3}));
    history.Undo(tape.Contents());
    EXPECT_EQ(history.GetNextUndo(), (Places{CTapeHistory::swap, 2, 3}));
    EXPECT_EQ(history.GetNextRedo(), (Places{CTapeHistory::byte, 1, 3}));
}

TEST(TapeHistory, PlacesTheTapeDoesNotHaveAreNoEdit) {
    Tape tape = FourBlocks();
    CTapeHistory history;
    EXPECT_FALSE(history.Remove(tape.Contents(), 4));
    EXPECT_FALSE(history.Swap(tape.Contents(), 3, 4));
    EXPECT_FALSE(history.Swap(tape.Contents(), 2, 2));
    EXPECT_FALSE(history.Insert(tape.Contents(), 5, {Block({})}));
    EXPECT_FALSE(history.Insert(tape.Contents(), 0, {}));
    EXPECT_FALSE(history.ReplaceByte(tape.Contents(), 4, 0, 1));
    EXPECT_FALSE(history.ReplaceByte(tape.Contents(), 0, 3, 1));
    EXPECT_EQ(tape, FourBlocks());
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.IsModified());

    // A tape emptied behind the history's back: undo refuses and forgets.
    history.Remove(tape.Contents(), 3);
    tape.blocks.clear();
    EXPECT_FALSE(history.Undo(tape.Contents()));
    EXPECT_TRUE(tape.blocks.empty());
    EXPECT_FALSE(history.CanUndo());
    EXPECT_TRUE(history.IsModified());
}

} // namespace
