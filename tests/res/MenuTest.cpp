// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "res/Menu.h"

namespace {

using res::KeyChord;
using res::ParseKeyChord;

TEST(KeyChord, TakesTheModifiersApartFromTheKey) {
    const struct {
        const char* name;
        KeyChord chord;
    } rows[] = {
        {"Del", {true, false, false, false, "Del"}},
        {"Ctrl+C", {true, true, false, false, "C"}},
        {"Shift+Ins", {true, false, true, false, "Ins"}},
        {"Ctrl+Shift+F6", {true, true, true, false, "F6"}},
        {"Alt+X", {true, false, false, true, "X"}},
        {"Ctrl++", {true, true, false, false, "+"}},
        {"Meta+C", {}},
        {"Ctrl+", {}},
        {"", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseKeyChord(row.name), row.chord);
    }
}

TEST(KeyChord, EveryKeyOfTheTablesIsOneAWindowCanTake) {
    for (const res::Accelerator& accel : res::MainAccelerators()) {
        SCOPED_TRACE(accel.key);
        EXPECT_TRUE(ParseKeyChord(accel.key).bValid);
    }
    for (const res::MenuPopup& popup : res::MainMenu()) {
        for (const res::MenuItem& item : popup.items) {
            if (const auto key = res::MenuItemKey(item.text); !key.empty()) {
                SCOPED_TRACE(key);
                EXPECT_TRUE(ParseKeyChord(key).bValid);
            }
        }
    }
}

} // namespace
