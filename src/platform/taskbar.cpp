#include "platform/taskbar.h"

// Qt first: X11's headers define macros that Qt's headers must not see.
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tollix {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply == nullptr ? xcb_atom_t{XCB_ATOM_NONE} : reply->atom;
    free(reply);
    return atom;
}

}  // namespace

void KeepOutOfTaskbar(QWidget& window) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 == nullptr ? nullptr : x11->connection();
    if (connection == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    const xcb_atom_t skipPager = Atom(connection, "_NET_WM_STATE_SKIP_PAGER");
    // The window is not mapped yet: its state property is read by the window manager when
    // it maps the window. States set by others are kept.
    std::vector<xcb_atom_t> atoms;
    const auto cookie = xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 64);
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        const auto* existing = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(existing, existing + xcb_get_property_value_length(reply) / 4);
        free(reply);
    }
    for (const xcb_atom_t wanted : {skipTaskbar, skipPager}) {
        if (std::find(atoms.begin(), atoms.end(), wanted) == atoms.end()) {
            atoms.push_back(wanted);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(connection);
}

}  // namespace tollix
