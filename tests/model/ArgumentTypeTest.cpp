// SPDX-License-Identifier: GPL-3.0-or-later
// Every entry returns at once, changing nothing, for a non-integer argument.
#include "model/ModelSupport.h"

namespace model_test {
namespace {

class ArgumentType : public ModelTest {};

TEST_F(ArgumentType, NonIntegerChangesNothing) {
    const std::uint16_t entries[] = {routine::TAPEREAD, routine::PEEKBUF, routine::DUMPLINE,
                                     routine::SENDLINE, routine::BEEPS};
    SetBlock(Str("SOME DATA"));
    model.TapeGap(0.1);
    model.TapeBytes(Cat({Rep(0x9C, 6), Str("X\n")}));
    for (std::uint16_t entry : entries) {
        for (std::uint8_t type : {pc88::kTypeString, pc88::kTypeSingle, pc88::kTypeDouble}) {
            model.SetRamWord(pc88::kArgAddress, 0x0003); // what Call itself puts in place
            model.SetRamWord(pc88::kBasicSp - 2, pc88::kUsrReturn);
            std::vector<std::uint8_t> before;
            for (unsigned a = 0; a < 0x10000; ++a)
                before.push_back(model.Ram(static_cast<std::uint16_t>(a)));
            const auto r = model.Call(entry, 0x0003, type);
            EXPECT_CLEAN(r);
            EXPECT_EQ(r.value, 0x0003);
            EXPECT_LT(r.tstates, 200u) << "returns at once";
            std::size_t changed = 0;
            for (unsigned a = 0; a < 0x10000; ++a)
                changed += model.Ram(static_cast<std::uint16_t>(a)) != before[a];
            EXPECT_EQ(changed, 0u) << "entry " << std::hex << entry << " type " << int(type);
            EXPECT_EQ(model.Screen(), "");
            EXPECT_EQ(model.Rs232(), "");
            EXPECT_TRUE(model.RomCalls().empty());
        }
    }
    EXPECT_EQ(model.TapeTaken(), 0u);
}

} // namespace
} // namespace model_test
