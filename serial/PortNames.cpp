// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/PortNames.h"

#include <cstdlib>
#include <unistd.h>

#include "serial/CommPort.h"
#include "serial/PortList.h"

namespace {

// "COMn" with n from 1: the port number, else 0.
int ComPortNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
        return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 999)
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// An environment folder that is set and absolute, else empty.
std::string FolderFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

} // namespace

std::string PortDevicePathFromName(const std::string& name) {
    const int nPort = ComPortNumber(name);
    return nPort > 0 ? CCommPort::PortDevicePath(nPort) : name;
}

std::string DefaultPc88LinkPath() {
    const std::string runtime = FolderFromEnvironment("XDG_RUNTIME_DIR");
    if (!runtime.empty())
        return runtime + "/relmuth-pc88.tty";
    std::string temp = FolderFromEnvironment("TMPDIR");
    if (temp.empty())
        temp = "/tmp";
    return temp + "/relmuth-pc88-" + std::to_string(getuid()) + ".tty";
}

std::vector<CSerialDeviceInfo> ListSystemSerialPorts() {
    return {};
}
