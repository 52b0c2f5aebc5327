// SPDX-License-Identifier: GPL-3.0-or-later
// A text with its places filled: %1 to %9 stand for the arguments in turn,
// as the classic string-formatting of message texts does. A place without
// an argument, and every other character, is kept as it is.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "res/Strings.h"

namespace res {

std::string FormatString(std::string_view pattern, std::initializer_list<std::string> args);
std::string FormatString(StringId id, std::initializer_list<std::string> args);

} // namespace res
