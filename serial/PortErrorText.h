// SPDX-License-Identifier: GPL-3.0-or-later
// What the user is told beyond "this port cannot be used": the system's
// reason, and what to do when the reason is a missing permission.
#pragma once

#include <string>

struct CCommError;

// True when the system refused the port for lack of permission: on Debian
// serial devices belong to the group "dialout".
bool IsPermissionError(int nErrno);

// "PORT: reason", and for a permission error a blank line and the hint to
// join the dialout group. `portName` is what the user chose ("COM1" is shown
// with its device, "COM1 (/dev/ttyS0)").
std::string PortOpenErrorDetail(const std::string& portName, const CCommError& error);
