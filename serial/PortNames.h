// SPDX-License-Identifier: GPL-3.0-or-later
// What a port name given by the user means, and where the virtual PC-8801
// puts its line when it is not told where.
#pragma once

#include <string>

// "COMn" (n from 1) is /dev/ttyS(n-1); anything else is a device path as it
// stands (/dev/ttyUSB0, /dev/serial/by-id/..., a pseudo-terminal).
std::string PortDevicePathFromName(const std::string& name);

// The per-user place of the link to the virtual PC-8801's RS-232C line:
// $XDG_RUNTIME_DIR/relmuth-pc88.tty, or, without that folder,
// relmuth-pc88-UID.tty in $TMPDIR (else /tmp).
std::string DefaultPc88LinkPath();
