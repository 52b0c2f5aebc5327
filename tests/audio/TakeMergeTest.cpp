// SPDX-License-Identifier: GPL-3.0-or-later
// Takes of one tape merged: blocks and bytes lined up, each byte decided by
// the takes that read it cleanly, what none reads cleanly kept marked.
#include <gtest/gtest.h>

#include "Signals.h"
#include "audio/TakeMerge.h"

using namespace signals;

namespace {

ByteArray Counting(std::size_t n, std::uint8_t from) {
    ByteArray bytes;
    for (std::size_t i = 0; i < n; ++i)
        bytes.push_back(static_cast<std::uint8_t>(from + i * 7));
    return bytes;
}

// A take of one block from its bytes, damaged at the offsets given.
CTake Take(const std::vector<ByteArray>& blocks, const std::vector<std::size_t>& damaged = {},
           std::size_t nDamagedBlock = 0) {
    std::vector<CTapeBlock> tape;
    for (const ByteArray& b : blocks)
        tape.push_back({b, kBaudFast});
    CDamageMarks marks;
    for (const std::size_t k : damaged)
        marks.push_back({nDamagedBlock, k, 1, DamageKind::undecided, 1000});
    return TakeFromImage(std::move(tape), marks);
}

CTake Decoded(const Samples& x) {
    CRecordingDecoder decoder(44100, 1, {});
    decoder.Feed(x.data(), x.size());
    std::vector<CTapeBlock> blocks;
    std::vector<CBlockQuality> quality;
    std::vector<CDamagedByte> damage = decoder.Finish(blocks, &quality);
    return TakeFromRecording(std::move(blocks), std::move(damage), quality);
}

// Two recordings of one tape, a dropout in one and a splice and another
// dropout in the other: each alone is damaged, together they are whole.
TEST(TakeMerge, TwoRecordingsWithDifferentDamageGiveTheWholeTape) {
    const std::vector<CTapeBlock> tape = {{Counting(160, 3), kBaudFast},
                                          {Counting(60, 100), kBaudSlow}};
    const double byte = 11.0 / 1200, tFirst = 2.0;
    Samples a = Write(tape);
    Gain(a, tFirst + 30.5 * byte, tFirst + 30.5 * byte + 0.05, 0.005);
    Samples b = Cut(Write(tape), tFirst + 100.3 * byte, 0.03);
    const double tSecond = tFirst + 160 * byte + 5.0 - 0.03;
    Gain(b, tSecond + 20.5 * 2 * byte, tSecond + 20.5 * 2 * byte + 0.06, 0.005);
    AddNoise(a, 35, 1);
    AddNoise(b, 35, 2);
    const CTake takes[] = {Decoded(a), Decoded(b)};
    ASSERT_FALSE(takes[0].damage.empty());
    ASSERT_FALSE(takes[1].damage.empty());
    ASSERT_EQ(takes[1].blocks.size(), 2u);
    EXPECT_NE(takes[1].blocks[0], tape[0]);
    EXPECT_NE(takes[1].blocks[1], tape[1]);

    const CMergeResult merged = MergeTakes(takes);
    EXPECT_EQ(merged.blocks, tape);
    for (const CDamagedByte& d : merged.damage)
        ADD_FAILURE() << DescribeDamage(d);
    ASSERT_EQ(merged.merged.size(), 2u);
    EXPECT_EQ(merged.merged[0].fromTake, (std::vector<long>{0, 0}));
    EXPECT_GT(merged.merged[0].nMended, 3u);
    EXPECT_GT(merged.merged[1].nMended, 3u);
}

// Clean readings that differ go by a strict majority; two that differ
// stay marked with the other reading; a byte damaged in every take keeps
// the most common reading, marked, with the others beside it.
TEST(TakeMerge, MajorityDecidesAndWhatNoTakeReadsCleanlyStaysMarked) {
    const ByteArray good = Counting(40, 1);
    ByteArray flipped = good, other = good;
    flipped[5] ^= 0x10;
    other[20] = 0x99;
    CTake three[] = {Take({flipped}, {20}), Take({good}, {20}), Take({good}, {20})};
    three[2].blocks[0].m_data[20] = 0x77;
    CMergeResult r = MergeTakes(three);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0].m_data, good);
    EXPECT_EQ(r.merged[0].nOutvoted, 1u);
    ASSERT_EQ(r.damage.size(), 1u);
    EXPECT_EQ(r.damage[0].nOffset, 20u);
    EXPECT_EQ(r.damage[0].fault, ByteFault::undecided);
    EXPECT_DOUBLE_EQ(r.damage[0].dSeconds, 1.0);
    ASSERT_EQ(r.damage[0].nAlternatives, 1);
    EXPECT_EQ(r.damage[0].alternatives[0], 0x77);

    const CTake two[] = {Take({flipped}), Take({good})};
    r = MergeTakes(two);
    ASSERT_EQ(r.damage.size(), 1u);
    EXPECT_EQ(r.damage[0].nOffset, 5u);
    ASSERT_EQ(r.damage[0].nAlternatives, 1);
    EXPECT_EQ(r.damage[0].alternatives[0] ^ r.blocks[0].m_data[5], 0x10);
}

// Bytes lost in one take (with damage beside the gap) and too many in the
// other (damaged) are lined up; a block only one take holds is kept in its
// place.
TEST(TakeMerge, BytesMissingOrExtraAndBlocksOneTakeLacksAreLinedUp) {
    const ByteArray first = Counting(80, 10), second = Counting(50, 200), third = Counting(30, 77);
    ByteArray missing = first;
    missing.erase(missing.begin() + 30, missing.begin() + 33);
    ByteArray extra = first;
    extra.insert(extra.begin() + 60, {0x00, 0xFF});
    const CTake takes[] = {Take({missing, third}, {30}), Take({extra, second, third}, {60, 61})};
    const CMergeResult r = MergeTakes(takes);
    ASSERT_EQ(r.blocks.size(), 3u);
    EXPECT_EQ(r.blocks[0].m_data, first);
    EXPECT_EQ(r.blocks[1].m_data, second);
    EXPECT_EQ(r.blocks[2].m_data, third);
    EXPECT_TRUE(r.damage.empty());
    EXPECT_EQ(r.merged[1].fromTake, (std::vector<long>{-1, 1}));
    EXPECT_EQ(r.merged[2].fromTake, (std::vector<long>{1, 2}));
}

// A take that read a block mostly damaged (at the wrong speed: other bytes,
// most of them marked) is lined up with the other take's reading of it,
// which decides every byte, also those the poor take held for clean. Two
// such readings of one block stay one block, every byte of it doubtful.
TEST(TakeMerge, BlockOneTakeReadMostlyDamagedLinesUpWithTheOtherTakesReading) {
    const ByteArray first = Counting(100, 10), second = Counting(40, 200);
    ByteArray wrong(first.size() - 2, 0xE7), wrong2(first.size(), 0x18);
    std::vector<std::size_t> most, most2;
    for (std::size_t k = 0; k < wrong.size(); ++k)
        if (k % 10 != 3) // one byte in ten read clean, and wrong
            most.push_back(k);
    for (std::size_t k = 0; k < wrong2.size(); k += 2)
        most2.push_back(k);
    const CTake takes[] = {Take({first, second}), Take({wrong, second}, most)};
    const CMergeResult r = MergeTakes(takes);
    ASSERT_EQ(r.blocks.size(), 2u);
    EXPECT_EQ(r.blocks[0].m_data, first);
    EXPECT_EQ(r.blocks[1].m_data, second);
    EXPECT_TRUE(r.damage.empty());
    EXPECT_EQ(r.merged[0].fromTake, (std::vector<long>{0, 0}));

    const CTake poor[] = {Take({wrong, second}, most), Take({wrong2, second}, most2)};
    const CMergeResult both = MergeTakes(poor);
    ASSERT_EQ(both.blocks.size(), 2u);
    EXPECT_EQ(both.merged[0].fromTake, (std::vector<long>{0, 0}));
    std::size_t nNamed = 0;
    for (const CDamagedByte& d : both.damage)
        nNamed += d.nBlock == 0 ? 1 : 0;
    EXPECT_EQ(nNamed, both.blocks[0].m_data.size());
    EXPECT_EQ(both.blocks[1].m_data, second);
}

} // namespace
