// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own window messages, as Qt events posted to the list view.
#pragma once

#include <QEvent>

// Posted by the serial port's reader thread after bytes arrived.
inline constexpr QEvent::Type WM_COMM_RECEIVED = static_cast<QEvent::Type>(QEvent::User + 100);
// Posted by the receive progress dialog when its user cancels.
inline constexpr QEvent::Type WM_RECV_CANCEL = static_cast<QEvent::Type>(QEvent::User + 101);
// Posted by the serial port's threads when the line went away.
inline constexpr QEvent::Type WM_COMM_LOST = static_cast<QEvent::Type>(QEvent::User + 102);
