// SPDX-License-Identifier: GPL-3.0-or-later
// Commands are numbers (res/Strings.h: ID_FILE_NEW ...). The main window
// hands each to its targets in turn, the view first, then the window itself,
// then the application; the first that knows the command handles it. Before
// a menu or button is shown, the same road asks whether it is enabled.
#pragma once

class CCmdTarget {
  public:
    virtual ~CCmdTarget() = default;
    // Handles the command; false when this target does not know it.
    virtual bool OnCmdMsg(unsigned nId) = 0;
    // Sets bEnable for a command this target knows; false when it does not.
    virtual bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const = 0;
};
