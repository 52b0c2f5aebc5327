// SPDX-License-Identifier: GPL-3.0-or-later
// Version of the program, shown by the About box and by --version.
#pragma once

namespace res {

inline constexpr const char* kFileVersion = "1, 0, 2";   // FileVersion string
inline constexpr const char* kVersionDotted = "1.0.2.3"; // fixed file version
inline constexpr const char* kRegistryKey = "Orlavik";   // settings organisation
inline constexpr const char* kAppName = "Relmuth";
// The one line every program's --version adds after its version.
inline constexpr const char* kLicenseLine =
    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>";

} // namespace res
