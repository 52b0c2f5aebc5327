// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "TapeTestUtil.h"
#include "tape/KxmFormat.h"
#include "tape/SaveLosses.h"

namespace {

const CDamageMarks kNoMarks;

std::vector<std::string> Losses(const std::vector<CTapeBlock>& blocks, TapeFormat format,
                                const CDamageMarks& marks = kNoMarks) {
    return DescribeSaveLosses(blocks, marks, format);
}

using Texts = std::vector<std::string>;

// A machine-code file that a raw image gives back as it is: a 4-byte
// header and the last, empty record.
ByteArray MachineFile(std::uint8_t seed) {
    return Bytes({':', seed, 0x00, seed, ':', 0x00, 0x00});
}

TEST(SaveLosses, RawImageKeepsNoSpeed) {
    const std::vector<CTapeBlock> tape{Block(MachineFile(1), 1200), Block(MachineFile(2), 600),
                                       Block(MachineFile(3), 1200)};
    EXPECT_EQ(Losses(tape, TapeFormat::raw),
              Texts{"速度: 生のカセットイメージには速度が残らないため、1200 ボーのブロック 2 "
                    "個は開き直すと 600 ボーになります。"});
    for (const TapeFormat format : {TapeFormat::kxm, TapeFormat::t88, TapeFormat::recording})
        EXPECT_EQ(Losses(tape, format), Texts{}) << static_cast<int>(format);
    // A tape of slow blocks loses nothing in a raw image.
    EXPECT_EQ(Losses({tape[1]}, TapeFormat::raw), Texts{});
}

TEST(SaveLosses, RawImageThatCutsTheTapeOtherwiseSaysSo) {
    // Blocks without a header run together; an empty block is gone.
    EXPECT_EQ(
        Losses({Block(Pattern(5), 600), Block(Pattern(7), 600), Block({}, 600)}, TapeFormat::raw),
        Texts{"ブロックの区切り: 開き直すと、3 個のブロックが 1 個に切り直されます。"});
    // A header and its body received apart come back as one block, as from
    // every tape image: no loss.
    const std::vector<CTapeBlock> named{Block(NamedHeader(), 600), Block(MachineFile(4), 600)};
    EXPECT_EQ(Losses(named, TapeFormat::raw), Texts{});
    EXPECT_EQ(Losses(named, TapeFormat::kxm), Texts{});
}

TEST(SaveLosses, HeaderOnItsOwnGivesItsSpeedToTheBlockAfterIt) {
    const std::vector<CTapeBlock> tape{Block(BasicHeader(), 600), Block(Pattern(50), 1200),
                                       Block(Pattern(9), 1200)};
    const Texts joined{"速度: 見出しだけのブロックは開き直すと続くブロックと一つになり、"
                       "見出しの速度を取るため、1 個のブロックの速度が変わります。"};
    EXPECT_EQ(Losses(tape, TapeFormat::kxm), joined);
    EXPECT_EQ(Losses(tape, TapeFormat::t88), joined);
    // At the header's own speed nothing changes.
    EXPECT_EQ(Losses({Block(BasicHeader(), 1200), Block(Pattern(50), 1200)}, TapeFormat::kxm),
              Texts{});
}

TEST(SaveLosses, DamageMarksHaveAPlaceInKxmOnly) {
    const std::vector<CTapeBlock> tape{Block(Pattern(30), 600), Block(Pattern(8), 600)};
    const CDamageMarks marks{{0, 3, 2, DamageKind::framing, 10},
                             {1, 0, 1, DamageKind::lost, 20},
                             {7, 0, 1, DamageKind::lost, 30}}; // no such block: nothing to lose
    const Texts lost{"読み取れなかったバイトの印 2 か所: この形式には残せません。"};
    EXPECT_EQ(Losses(tape, TapeFormat::kxm, marks), Texts{});
    EXPECT_EQ(Losses(tape, TapeFormat::t88, marks), lost);
    EXPECT_EQ(Losses(tape, TapeFormat::recording, marks), lost);
    EXPECT_EQ(
        Losses(tape, TapeFormat::raw, marks),
        (Texts{"ブロックの区切り: 開き直すと、2 個のブロックが 1 個に切り直されます。", lost[0]}));
}

TEST(SaveLosses, TapeTooLongForTheTimeLineCannotBeAnImage) {
    // Every block takes 5 s of gaps around it, even an empty one.
    const std::vector<CTapeBlock> tape(kMaxTapeTicks / 24000 + 1, Block({}, 600));
    ASSERT_GT(LaidOutTicks(tape), kMaxTapeTicks);
    const Texts tooLong{
        "テープが長すぎて KXM・T88 形式の時間 (32 ビット、約 248 時間) に収まりません。"};
    EXPECT_EQ(Losses(tape, TapeFormat::kxm), tooLong);
    EXPECT_EQ(Losses(tape, TapeFormat::t88), tooLong);
    EXPECT_EQ(FindSaveLosses(tape, kNoMarks, TapeFormat::raw),
              (std::vector<CSaveLoss>{{CSaveLoss::division, tape.size(), 0}}));
}

} // namespace
