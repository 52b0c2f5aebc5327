// SPDX-License-Identifier: GPL-3.0-or-later
// Windows only: the program's UTF-8 text as the wide (UTF-16) text of the
// system's calls and back, and the system's own words for an error code.
#pragma once

#include <string>
#include <string_view>

namespace res {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// FormatMessageW's text for a GetLastError code, in UTF-8, without the
// line end it comes with.
std::string SystemMessageText(unsigned long nCode);

} // namespace res
