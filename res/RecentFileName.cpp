// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/RecentFileName.h"

namespace res {
namespace {

constexpr std::string_view kEllipsis = "\u2026";

// Code points of UTF-8 text: every byte but the continuation bytes.
std::size_t CharCount(std::string_view text) {
    std::size_t n = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

bool IsWindowsPath(std::string_view path) {
    const bool bDrive = path.size() >= 2 && path[1] == ':' &&
                        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return bDrive || path.starts_with("\\\\");
}

// Where the first separator at or after nFrom stands; npos for none.
std::size_t NextSeparator(std::string_view path, std::size_t nFrom, bool bWindows) {
    return bWindows ? path.find_first_of("/\\", nFrom) : path.find('/', nFrom);
}

} // namespace

std::string AbbreviatePath(std::string_view path, std::size_t nMaxChars) {
    if (CharCount(path) <= nMaxChars)
        return std::string(path);
    const bool bWindows = IsWindowsPath(path);
    const std::size_t nLastSep = bWindows ? path.find_last_of("/\\") : path.rfind('/');
    const std::string_view name =
        nLastSep == std::string_view::npos ? path : path.substr(nLastSep + 1);
    if (nLastSep == std::string_view::npos)
        return std::string(name);

    // The start that is always kept: the root ("/", "C:\", "\\server\share\")
    // and the first folder after it.
    std::size_t nRootEnd = 0;
    if (path.starts_with("\\\\")) {
        const std::size_t nShare = NextSeparator(path, 2, true);
        nRootEnd = nShare == std::string_view::npos ? path.size() : nShare + 1;
        const std::size_t nAfterShare = NextSeparator(path, nRootEnd, true);
        nRootEnd = nAfterShare == std::string_view::npos ? path.size() : nAfterShare + 1;
    } else if (bWindows) {
        nRootEnd = path.size() > 2 && (path[2] == '\\' || path[2] == '/') ? 3 : 2;
    } else if (path.starts_with('/')) {
        nRootEnd = 1;
    }
    std::size_t nStartEnd = nRootEnd; // the separator after the first folder
    if (nRootEnd <= nLastSep) {
        const std::size_t nSep = NextSeparator(path, nRootEnd, bWindows);
        nStartEnd = nSep == nLastSep || nSep == std::string_view::npos ? nRootEnd : nSep;
    }
    if (nStartEnd <= nRootEnd || nStartEnd >= nLastSep)
        return std::string(name); // no folder between the start and the name to leave out

    // Leave out folders from the front until the rest fits.
    const std::string_view start = path.substr(0, nStartEnd + 1); // with its separator
    std::size_t nRest = nStartEnd + 1;
    for (;;) {
        const std::size_t nSep = NextSeparator(path, nRest, bWindows);
        if (nSep == std::string_view::npos)
            break;
        nRest = nSep;
        const std::string_view rest = path.substr(nRest); // from a separator to the end
        if (CharCount(start) + CharCount(kEllipsis) + CharCount(rest) <= nMaxChars)
            return std::string(start) + std::string(kEllipsis) + std::string(rest);
        ++nRest;
    }
    return std::string(name);
}

} // namespace res
