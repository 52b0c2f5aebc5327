// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "res/RecentFileName.h"

namespace {

using res::AbbreviatePath;

TEST(RecentFileName, APathThatFitsIsShownWhole) {
    EXPECT_EQ(AbbreviatePath("/home/kei/tapes/game.kxm", 24), "/home/kei/tapes/game.kxm");
    EXPECT_EQ(AbbreviatePath("game.kxm", 3), "game.kxm");
}

TEST(RecentFileName, KeepsTheStartAndTheNameAndLeavesOutFoldersFromTheFront) {
    const std::string path = "/home/kei/archive/1985/disk2/side-a/game.kxm";
    const struct {
        std::size_t nMax;
        std::string shown;
    } rows[] = {
        {44, path},
        {43, "/home/…/archive/1985/disk2/side-a/game.kxm"},
        {36, "/home/…/1985/disk2/side-a/game.kxm"},
        {30, "/home/…/disk2/side-a/game.kxm"},
        {23, "/home/…/side-a/game.kxm"},
        {16, "/home/…/game.kxm"},
        {15, "game.kxm"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.nMax);
        EXPECT_EQ(AbbreviatePath(path, row.nMax), row.shown);
    }
}

TEST(RecentFileName, TheNameIsNeverCut) {
    EXPECT_EQ(AbbreviatePath("/home/kei/a-very-long-tape-name.kxm", 10),
              "a-very-long-tape-name.kxm");
    // Nothing between the start and the name to leave out.
    EXPECT_EQ(AbbreviatePath("/home/game.kxm", 10), "game.kxm");
}

TEST(RecentFileName, WindowsDrivesAndSharesKeepTheirStart) {
    EXPECT_EQ(AbbreviatePath(R"(C:\Users\kei\Documents\tapes\game.kxm)", 25),
              "C:\\Users\\…\\tapes\\game.kxm");
    EXPECT_EQ(AbbreviatePath(R"(\\nas\pc88\tapes\1985\disk2\game.kxm)", 30),
              "\\\\nas\\pc88\\tapes\\…\\game.kxm");
    // A POSIX name may hold a backslash; it separates nothing there.
    EXPECT_EQ(AbbreviatePath(R"(/tmp/a\b\c\d\e\f\g\h\i\j\k\l/game.kxm)", 20), "/tmp/…/game.kxm");
}

TEST(RecentFileName, CountsCharactersNotBytes) {
    // 24 characters in 56 bytes.
    const std::string path = "/ホーム/テープ保管庫/古いもの/ゲーム.kxm";
    EXPECT_EQ(AbbreviatePath(path, 24), path);
    EXPECT_EQ(AbbreviatePath(path, 19), "/ホーム/…/古いもの/ゲーム.kxm");
}

} // namespace
