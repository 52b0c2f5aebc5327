// SPDX-License-Identifier: GPL-3.0-or-later
// What the clean-up of temporary files is on every system; the watch for the
// stop request is in SaveCleanupPosix.cpp and SaveCleanupWin32.cpp.
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "tape/File.h"
#include "tools/relmuth-tape/SaveCleanup.h"

namespace fs = std::filesystem;

namespace {

// As many links as the system follows.
constexpr int kMaxLinkDepth = 40;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The file a save of strOut writes, links followed as the save follows
// them, also to a name that does not exist yet.
fs::path SavedFile(const std::string& strOut) {
    fs::path path = PathFromUtf8(strOut);
    std::error_code ec;
    for (int depth = 0; depth < kMaxLinkDepth && fs::is_symlink(path, ec); ++depth) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    if (fs::exists(path, ec)) {
        const fs::path canonical = fs::canonical(path, ec);
        if (!ec)
            return canonical;
    }
    return path;
}

} // namespace

void SaveTemporaryPlace(const std::string& strOut, std::string& strFolder, std::string& strPrefix) {
    const fs::path saved = SavedFile(strOut);
    strFolder = saved.has_parent_path() ? Utf8(saved.parent_path()) : ".";
    strPrefix = "." + Utf8(saved.filename()) + "." + std::to_string(::getpid()) + "-";
}

void CSaveCleanup::RemoveTemporaryFiles() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(PathFromUtf8(m_strFolder), ec)) {
        const std::string name = Utf8(entry.path().filename());
        if (name.starts_with(m_strPrefix) && name.ends_with(".tmp"))
            fs::remove(entry.path(), ec);
    }
}
