// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeFileName.h"

#include <string_view>

#include "res/Strings.h"

std::vector<CFileFilter> GetTapeFileFilters() {
    return {
        {std::string(res::LoadString(res::IDS_TAPE_FILTER)), "*.kxm;*.cmt;*.cas"},
        {std::string(res::LoadString(res::AFX_IDS_ALLFILTER)), "*.*"},
    };
}

std::vector<CFileFilter> GetTapeFileFilters(bool bOpenFileDialog) {
    std::vector<CFileFilter> filters = GetTapeFileFilters();
    filters.push_back({std::string(res::LoadString(res::IDS_T88_FILTER)), "*.t88"});
    if (bOpenFileDialog)
        filters.push_back({std::string(res::LoadString(res::IDS_RECORDING_FILTER)),
                           "*.wav;*.flac;*.ogg;*.aif;*.aiff;*.mp3"});
    else
        filters.push_back({std::string(res::LoadString(res::IDS_WAV_FILTER)), "*.wav"});
    return filters;
}

std::string DefaultExtensionOf(const CFileFilter& filter) {
    const std::string first = filter.strPattern.substr(0, filter.strPattern.find(';'));
    const std::string_view prefix = "*.";
    const std::string extension =
        first.starts_with(prefix) ? first.substr(prefix.size()) : std::string();
    if (extension.empty() || extension.find_first_of("*?.") != std::string::npos)
        return kDefaultTapeExtension;
    return extension;
}

// Windows also takes a backslash between folders, and "C:" before a name.
#if defined(_WIN32)
constexpr const char* kPathSeparators = "/\\:";
#else
constexpr const char* kPathSeparators = "/";
#endif

std::string FileNameOf(const std::string& strPathName) {
    const auto slash = strPathName.find_last_of(kPathSeparators);
    return slash == std::string::npos ? strPathName : strPathName.substr(slash + 1);
}

std::string WithDefaultTapeExtension(const std::string& strPathName) {
    const std::string name = FileNameOf(strPathName);
    if (name.empty() || name.find('.') != std::string::npos)
        return strPathName;
    return strPathName + "." + kDefaultTapeExtension;
}
