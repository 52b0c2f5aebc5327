// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/KeyState.h"

#include <QGuiApplication>

#ifdef RELMUTH_HAVE_X11
#include <X11/XKBlib.h>
#endif

#ifdef RELMUTH_HAVE_X11
namespace {

// Whether the indicator of that name is lit; false when the keyboard has none.
bool IndicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    Bool bOn = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &bOn, nullptr, nullptr))
        return false;
    return bOn != False;
}

} // namespace
#endif

std::optional<CKeyState> QueryKeyState() {
#if defined(RELMUTH_HAVE_X11) && QT_CONFIG(xcb)
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr)
        return std::nullopt;
    Display* display = x11->display();
    CKeyState state;
    state.bKana = IndicatorOn(display, "Kana");
    state.bCaps = IndicatorOn(display, "Caps Lock");
    state.bNum = IndicatorOn(display, "Num Lock");
    state.bScroll = IndicatorOn(display, "Scroll Lock");
    return state;
#else
    return std::nullopt;
#endif
}
