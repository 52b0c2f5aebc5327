// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu, accelerator table and tool bar, as data. The
// window program builds its menus and bars from these tables; every item is
// a command id (its prompt is the string of the same id) and, in the menu,
// its text. A menu text may carry the key after a tab, as it is shown.
#pragma once

#include <span>
#include <string_view>

#include "res/Strings.h"

namespace res {

struct MenuItem {
    StringId nCommand;     // ID_SEPARATOR for a separator
    std::string_view text; // empty for a separator
};

struct MenuPopup {
    std::string_view text;
    std::span<const MenuItem> items;
};

// The accelerator table: a key (in the portable key names "Ctrl+C",
// "Shift+Ins", "Del", "F6") and the command it gives.
struct Accelerator {
    std::string_view key;
    StringId nCommand;
};

// The menu bar, left to right.
std::span<const MenuPopup> MainMenu();

// Every key of the main window, in table order.
std::span<const Accelerator> MainAccelerators();

// The tool bar's buttons, left to right; ID_SEPARATOR between groups.
std::span<const StringId> MainToolBar();

// How many recent files the File menu keeps.
inline constexpr int kRecentFileCount = 4;

// The text of a menu item without its key, and the key after the tab.
std::string_view MenuItemLabel(std::string_view text);
std::string_view MenuItemKey(std::string_view text);

// A key name of the table taken apart: its modifiers, and the key itself
// ("C", "Ins", "Del", "F6"). A window program turns the key into its own
// code; a name with an unknown modifier or no key gives bValid false.
struct KeyChord {
    bool bValid = false;
    bool bCtrl = false;
    bool bShift = false;
    bool bAlt = false;
    std::string_view key;

    friend bool operator==(const KeyChord&, const KeyChord&) = default;
};
KeyChord ParseKeyChord(std::string_view name);

} // namespace res
