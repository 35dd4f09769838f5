#include "platform/lock_keys.h"

// Qt first: X11's headers define macros (Bool, Status) that Qt's headers must not see.
#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace tollix {

namespace {

bool IndicatorOn(Display* display, const char* name, bool& known) {
    Bool on = False;
    const Atom atom = XInternAtom(display, name, False);
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
        known = false;
    }
    return on != False;
}

}  // namespace

LockKeys ReadLockKeys() {
    LockKeys keys;
    const auto* x11 = qGuiApp == nullptr
                          ? nullptr
                          : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 == nullptr ? nullptr : x11->display();
    if (display == nullptr) {
        return keys;
    }
    keys.known = true;
    keys.capsLock = IndicatorOn(display, "Caps Lock", keys.known);
    keys.numLock = IndicatorOn(display, "Num Lock", keys.known);
    keys.scrollLock = IndicatorOn(display, "Scroll Lock", keys.known);
    return keys;
}

}  // namespace tollix
