// SPDX-License-Identifier: GPL-3.0-or-later
// Port names on Windows: "COMn" is opened as \\.\COMn, the one form that also
// reaches COM10 and above; the ports Windows knows come from the registry's
// list of serial devices.
#include <windows.h>

#include "res/WideText.h"
#include "serial/CommPort.h"
#include "serial/PortList.h"
#include "serial/PortNames.h"

namespace {

// "COMn" with n from 1 to 256, any letter case: the port number, else 0.
int ComPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if ((name[i] & ~0x20) != "COM"[i])
            return 0;
    }
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n >= 1 && n <= 256 ? n : 0;
}

} // namespace

std::string PortDevicePathFromName(const std::string& name) {
    const int nPort = ComPortNumber(name);
    return nPort > 0 ? CCommPort::PortDevicePath(nPort) : name;
}

// The virtual PC-8801 runs on Linux only; under wine its line is a COM port.
std::string DefaultPc88LinkPath() {
    return {};
}

std::vector<CSerialDeviceInfo> ListSystemSerialPorts() {
    std::vector<CSerialDeviceInfo> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        wchar_t device[256];
        DWORD nDevice = 256;
        wchar_t port[64];
        DWORD nPort = sizeof port;
        DWORD type = 0;
        const LSTATUS status = RegEnumValueW(key, i, device, &nDevice, nullptr, &type,
                                             reinterpret_cast<BYTE*>(port), &nPort);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const std::string name = res::Utf8FromWide(std::wstring(port, wcsnlen(port, 63)));
        // "\Device\VCP0": the driver's own name for the port.
        std::string driver = res::Utf8FromWide(std::wstring(device, nDevice));
        driver = driver.substr(driver.find_last_of('\\') + 1);
        ports.push_back({name, PortDevicePathFromName(name), driver});
    }
    RegCloseKey(key);
    return ports;
}
