// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of res/Strings as Qt strings, for the window program.
#pragma once

#include <QString>

#include "res/Strings.h"

namespace res {

// The whole text of a string id.
QString Text(StringId id);

// A command prompt is "status bar text\ntool tip": the part before the line
// feed, and the part after it (empty when the prompt has no tool tip).
QString StatusPrompt(StringId id);
QString ToolTip(StringId id);

} // namespace res
