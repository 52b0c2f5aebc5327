// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/PortList.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "res/Strings.h"
#include "serial/PortNames.h"

namespace {

namespace fs = std::filesystem;

// Shown between a device's name and its description.
constexpr char kLabelSeparator[] = " \u2014 ";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// True when the path leads to something that exists (a by-id name or the
// virtual PC-8801's link whose device is gone leads nowhere).
bool LeadsSomewhere(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// "ttyUSB2" sorts before "ttyUSB10": runs of digits compare by value (device
// numbers have no leading zeros, so the longer run is the larger number).
bool NaturalLess(std::string_view a, std::string_view b) {
    constexpr std::string_view kDigits = "0123456789";
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::string_view da = a.substr(i, a.find_first_not_of(kDigits, i) - i);
            const std::string_view db = b.substr(j, b.find_first_not_of(kDigits, j) - j);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (da != db)
                return da < db;
            i += da.size();
            j += db.size();
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

std::vector<std::string> ListSerialByIdPaths(const std::string& folder) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (LeadsSomewhere(it->path()))
            paths.push_back(it->path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<CPortEntry> BuildPortEntries(std::vector<CSerialDeviceInfo> devices,
                                         const std::vector<std::string>& byIdPaths,
                                         const std::string& pc88LinkPath) {
    std::vector<CPortEntry> entries;
    std::vector<std::string> comPaths;
    for (int n = 1; n <= kComPortCount; ++n) {
        const std::string name = "COM" + std::to_string(n);
        entries.push_back({name, name});
        comPaths.push_back(PortDevicePathFromName(name));
    }

    std::erase_if(devices, [&](const CSerialDeviceInfo& d) {
        return d.strPath.empty() ||
               std::find(comPaths.begin(), comPaths.end(), d.strPath) != comPaths.end();
    });
    std::stable_sort(devices.begin(), devices.end(),
                     [](const CSerialDeviceInfo& a, const CSerialDeviceInfo& b) {
                         return NaturalLess(a.strName, b.strName);
                     });
    std::vector<std::string> shown;
    for (const CSerialDeviceInfo& d : devices) {
        if (std::find(shown.begin(), shown.end(), d.strPath) != shown.end())
            continue;
        shown.push_back(d.strPath);
        const std::string& name = d.strName.empty() ? d.strPath : d.strName;
        entries.push_back(
            {d.strDescription.empty() ? name : name + kLabelSeparator + d.strDescription,
             d.strPath});
    }

    for (const std::string& path : byIdPaths)
        entries.push_back({path, path});

    if (!pc88LinkPath.empty())
        entries.push_back({std::string(res::LoadString(res::IDS_PORT_PC88_LINK)), pc88LinkPath});
    return entries;
}

std::vector<CPortEntry> CurrentPortEntries(std::vector<CSerialDeviceInfo> devices) {
    const std::string link = DefaultPc88LinkPath();
    return BuildPortEntries(std::move(devices), ListSerialByIdPaths(),
                            LeadsSomewhere(link) ? link : std::string());
}

CPortChoice ChoosePort(const std::vector<CPortEntry>& entries, int nSelected,
                       std::string_view text) {
    const auto nFirst = text.find_first_not_of(" \t");
    text = nFirst == std::string_view::npos
               ? std::string_view()
               : text.substr(nFirst, text.find_last_not_of(" \t") - nFirst + 1);
    const bool bSelected = nSelected >= 0 && static_cast<std::size_t>(nSelected) < entries.size();
    if (text.empty() ||
        (bSelected && entries[static_cast<std::size_t>(nSelected)].strLabel == text))
        return {bSelected ? nSelected : -1, {}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].strLabel == text)
            return {static_cast<int>(i), {}};
    }
    return {-1, std::string(text)};
}
