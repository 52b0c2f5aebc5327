// SPDX-License-Identifier: GPL-3.0-or-later
// The entries of the settings dialog's port list. It always begins with
// "COM1" to "COM4", in that order, so that their indexes stay 0 to 3. After
// them come, for the many users with USB adapters, the serial devices present
// on this machine, then their stable names in /dev/serial/by-id/, then the
// line of the virtual PC-8801 while it runs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A serial device as the system reports it.
struct CSerialDeviceInfo {
    std::string strName;        // "ttyUSB0"
    std::string strPath;        // "/dev/ttyUSB0"
    std::string strDescription; // "FT232R USB UART"; may be empty
};

struct CPortEntry {
    std::string strLabel; // what the list shows
    std::string strName;  // what the port is opened with: "COM1" ... "COM4" or a device path

    friend bool operator==(const CPortEntry&, const CPortEntry&) = default;
};

inline constexpr int kComPortCount = 4;
inline constexpr char kSerialByIdFolder[] = "/dev/serial/by-id";

// The names in `folder` that lead to an existing device, as full paths, in
// name order. A missing folder gives none.
std::vector<std::string> ListSerialByIdPaths(const std::string& folder = kSerialByIdFolder);

// The whole list. `devices` may come in any order and may repeat what the
// COM entries already offer (/dev/ttyS0 is "COM1"); it is shown in natural
// name order (ttyUSB2 before ttyUSB10), once per device. `pc88LinkPath` is
// empty when the virtual PC-8801 is not running.
std::vector<CPortEntry> BuildPortEntries(std::vector<CSerialDeviceInfo> devices,
                                         const std::vector<std::string>& byIdPaths,
                                         const std::string& pc88LinkPath);

// The list as this machine has it now: the given devices, the by-id folder,
// and the virtual PC-8801's link when it leads to its line.
std::vector<CPortEntry> CurrentPortEntries(std::vector<CSerialDeviceInfo> devices);

// The serial ports the system itself lists (on Windows, the registry's
// SERIALCOMM key: "COM5" with its driver's name); none elsewhere, where the
// window program asks its toolkit.
std::vector<CSerialDeviceInfo> ListSystemSerialPorts();

// What the settings dialog's port box names when OK is pressed: the entry
// selected while the box shows its label; else the entry whose label the
// text is, or (any other text, spaces at either end left off) a name or
// device path typed by the user. An empty box keeps the selection.
struct CPortChoice {
    int nIndex;           // the entry, or -1
    std::string strTyped; // the typed name; empty for an entry
    friend bool operator==(const CPortChoice&, const CPortChoice&) = default;
};
CPortChoice ChoosePort(const std::vector<CPortEntry>& entries, int nSelected,
                       std::string_view text);
