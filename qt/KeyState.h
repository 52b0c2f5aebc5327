// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard's lock states, where the window system tells them: on X11
// through the keyboard extension's named indicators. Elsewhere (Wayland, the
// offscreen platform) nothing is known, and the status bar's panes stay blank.
#pragma once

#include <optional>

struct CKeyState {
    bool bKana = false;
    bool bCaps = false;
    bool bNum = false;
    bool bScroll = false;
};

// Nothing when the platform does not tell.
std::optional<CKeyState> QueryKeyState();
