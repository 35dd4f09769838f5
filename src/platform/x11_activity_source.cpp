#include "platform/x11_activity_source.h"

// Qt first: X11's headers define macros (Bool, Status, KeyPress) that Qt's must not see.
#include <QGuiApplication>
#include <QPointer>
#include <array>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace tollix {

namespace {

// The display that Qt talks to, which a -display argument may have chosen; empty gives
// Xlib's default, $DISPLAY.
QByteArray QtDisplayName() {
    const auto* x11 = qGuiApp == nullptr
                          ? nullptr
                          : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 == nullptr ? nullptr : x11->display();
    return display == nullptr ? QByteArray() : QByteArray(XDisplayString(display));
}

using EventMaskBits = std::array<unsigned char, XIMaskLen(XI_LASTEVENT)>;

void SetMaskBit(EventMaskBits& bits, int event) {
    const auto index = static_cast<std::size_t>(event) / 8;
    bits[index] = static_cast<unsigned char>(bits[index] | (1U << (event % 8)));
}

}  // namespace

std::unique_ptr<X11ActivitySource> X11ActivitySource::TryCreate(QObject* parent) {
    const QByteArray name = QtDisplayName();
    Display* display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
    if (display == nullptr) {
        return nullptr;
    }
    int opcode = 0;
    int firstEvent = 0;
    int firstError = 0;
    int major = 2;
    int minor = 2;
    if (XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError) == 0 ||
        XIQueryVersion(display, &major, &minor) != Success) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11ActivitySource>(new X11ActivitySource(display, opcode, parent));
}

X11ActivitySource::X11ActivitySource(_XDisplay* display, int opcode, QObject* parent)
    : ActivitySource(parent), display_(display), opcode_(opcode) {}

X11ActivitySource::~X11ActivitySource() {
    Remove();
    XCloseDisplay(display_);
}

bool X11ActivitySource::Install() {
    if (notifier_ != nullptr) {
        return true;
    }
    SelectRawEvents(true);
    notifier_ =
        std::make_unique<QSocketNotifier>(XConnectionNumber(display_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &X11ActivitySource::ReadEvents);
    // Xlib may already hold events read from the socket with an earlier reply.
    ReadEvents();
    return true;
}

void X11ActivitySource::Remove() {
    if (notifier_ == nullptr) {
        return;
    }
    notifier_.reset();
    SelectRawEvents(false);
    XSync(display_, True);  // drops what is queued
}

void X11ActivitySource::SelectRawEvents(bool on) {
    EventMaskBits bits{};
    if (on) {
        SetMaskBit(bits, XI_RawKeyPress);
        SetMaskBit(bits, XI_RawButtonPress);
        SetMaskBit(bits, XI_RawMotion);
    }
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = static_cast<int>(bits.size());
    mask.mask = bits.data();
    XISelectEvents(display_, XDefaultRootWindow(display_), &mask, 1);
    XFlush(display_);
}

void X11ActivitySource::ReadEvents() {
    // A receiver may show an alert, whose event loop can remove or destroy this source.
    const QPointer<X11ActivitySource> alive(this);
    while (alive && notifier_ != nullptr && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        // The event's type says all; its data is not fetched, and Xlib frees it with the
        // next event.
        const XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != opcode_) {
            continue;
        }
        if (cookie.evtype == XI_RawKeyPress || cookie.evtype == XI_RawButtonPress ||
            cookie.evtype == XI_RawMotion) {
            emit activity();
        }
    }
}

}  // namespace tollix
