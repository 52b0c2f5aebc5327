// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icons, built into it from res/icons/ and loaded as
// ":/icons/NAME.svg" (Qt draws them through its SVG image plugin, so they are
// sharp at every size).
#pragma once

#include <QIcon>
#include <QString>

#include "res/Strings.h"

namespace res {

// The application: a cassette of the PC-8801's days.
QIcon AppIcon();

// The tool bar button of a command: ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE,
// ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_MOVE_UP, ID_MOVE_DOWN,
// ID_SEND_PROGRAM, ID_APP_ABOUT. A null icon for any other id.
QIcon CommandIcon(StringId id);

// The resource path of such an icon; empty for an id without one.
QString CommandIconPath(StringId id);

inline constexpr const char* kAppIconPath = ":/icons/relmuth.svg";

} // namespace res
