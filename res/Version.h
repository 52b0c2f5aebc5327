// Version of the program, shown by the About box and by --version.
#pragma once

namespace res {

inline constexpr const char* kFileVersion = "1, 0, 2";   // FileVersion string
inline constexpr const char* kVersionDotted = "1.0.2.3"; // fixed file version
inline constexpr const char* kRegistryKey = "Orlavik";   // settings organisation
inline constexpr const char* kAppName = "Relmuth";

} // namespace res
