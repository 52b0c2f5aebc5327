// SPDX-License-Identifier: GPL-3.0-or-later
// How the File menu shows a recent file whose path is too long for it: the
// start of the path (its root and first folder), "…", and as many of the
// last folders as fit before the file name, as the classic recent-file list
// abbreviates. The file name itself is never cut: when not even the start,
// "…" and the name fit, the name alone is shown.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace res {

// The widest a recent file is shown in the File menu, in characters.
inline constexpr std::size_t kRecentFileMaxChars = 40;

// The path (UTF-8; "/" separates folders, and in a Windows path, one with a
// drive "C:" or a share "\\server\share", "\" too) shortened to at most
// nMaxChars characters, counted as Unicode code points.
std::string AbbreviatePath(std::string_view path, std::size_t nMaxChars = kRecentFileMaxChars);

} // namespace res
