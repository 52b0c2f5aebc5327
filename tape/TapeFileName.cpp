// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeFileName.h"

#include "res/Strings.h"

std::vector<CFileFilter> GetTapeFileFilters() {
    return {
        {std::string(res::LoadString(res::IDS_TAPE_FILTER)), "*.kxm;*.cmt;*.cas"},
        {std::string(res::LoadString(res::AFX_IDS_ALLFILTER)), "*.*"},
    };
}

std::string FileNameOf(const std::string& strPathName) {
    const auto slash = strPathName.rfind('/');
    return slash == std::string::npos ? strPathName : strPathName.substr(slash + 1);
}

std::string WithDefaultTapeExtension(const std::string& strPathName) {
    const std::string name = FileNameOf(strPathName);
    if (name.empty() || name.find('.') != std::string::npos)
        return strPathName;
    return strPathName + "." + kDefaultTapeExtension;
}
