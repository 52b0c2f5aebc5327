// SPDX-License-Identifier: GPL-3.0-or-later
// BEEPS (USR5): n short beeps counted by the tick hook.
#include "model/ModelSupport.h"

namespace model_test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

class Beeps : public ModelTest {
  protected:
    std::vector<int> Beep(std::uint16_t n, pc88::CallResult& r) {
        const std::size_t from = model.BeeperTicks().size();
        r = model.Call(routine::BEEPS, n);
        EXPECT_CLEAN(r);
        EXPECT_EQ(r.value, n) << "the result is the argument";
        // one more tick shows the state the last tick left
        model.Call(routine::PEEKBUF, 0, pc88::kTypeInteger);
        return BeepRuns(model.BeeperTicks(), from);
    }
};

TEST_F(Beeps, TwoBeeps) {
    pc88::CallResult r;
    EXPECT_THAT(Beep(2, r), ElementsAre(3, 4));
    EXPECT_GE(r.ticks, 15u);
    EXPECT_LE(r.ticks, 16u);
}

TEST_F(Beeps, ThreeBeeps) {
    pc88::CallResult r;
    EXPECT_THAT(Beep(3, r), ElementsAre(3, 4, 4));
    EXPECT_GE(r.ticks, 23u);
    EXPECT_LE(r.ticks, 24u);
}

TEST_F(Beeps, ZeroCounts255TicksAs32Beeps) {
    pc88::CallResult r;
    const std::vector<int> runs = Beep(0, r);
    ASSERT_EQ(runs.size(), 32u);
    EXPECT_EQ(runs[0], 3);
    EXPECT_THAT(std::vector<int>(runs.begin() + 1, runs.end()), Each(4));
    EXPECT_GE(r.ticks, 255u);
    EXPECT_LE(r.ticks, 256u);
}

TEST_F(Beeps, OnlyTheLowByteCounts) {
    pc88::CallResult r;
    EXPECT_THAT(Beep(0x0102, r), ElementsAre(3, 4));
}

TEST_F(Beeps, OtherBitsOfPort40Stay) {
    model.SetRam(pc88::kCellPort40, 0x09);
    pc88::CallResult r;
    Beep(1, r);
    EXPECT_EQ(model.Ram(pc88::kCellPort40), 0x09);
    EXPECT_EQ(model.Port40(), 0x09);
    EXPECT_EQ(model.RamWord(pc88::kCellVrtcVector), pc88::kBasicVrtcHandler);
}

} // namespace
} // namespace model_test
