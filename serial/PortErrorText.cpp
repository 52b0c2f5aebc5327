// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/PortErrorText.h"

#include <cerrno>

#include "res/Strings.h"
#include "serial/CommPort.h"
#include "serial/PortNames.h"

bool IsPermissionError(int nErrno) {
    return nErrno == EACCES || nErrno == EPERM;
}

std::string PortOpenErrorDetail(const std::string& portName, const CCommError& error) {
    const std::string path = PortDevicePathFromName(portName);
    std::string detail = path == portName ? portName : portName + " (" + path + ")";
    if (!error.strReason.empty())
        detail += ": " + error.strReason;
    if (IsPermissionError(error.nErrno)) {
        detail += "\n\n";
        detail += res::LoadString(res::IDS_PORT_PERMISSION_HINT);
    }
    return detail;
}
