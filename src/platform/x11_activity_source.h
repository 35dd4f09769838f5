#pragma once

#include <QSocketNotifier>
#include <memory>

#include "platform/activity_source.h"

struct _XDisplay;  // Xlib's Display, kept out of the headers that Qt code includes

namespace tollix {

// Input anywhere on an X11 desktop: the XInput 2 raw events of the master devices (key
// press, button press, motion; key release is not selected), selected on the root window
// of a connection of its own, whose socket the event loop watches. Raw events reach every
// client that selects them, whichever window has the focus or a grab.
class X11ActivitySource : public ActivitySource {
    Q_OBJECT

public:
    // Opens a connection to the display the program shows on; null when there is none or
    // its server lacks XInput 2.
    static std::unique_ptr<X11ActivitySource> TryCreate(QObject* parent = nullptr);
    ~X11ActivitySource() override;

    bool Install() override;
    void Remove() override;
    bool IsInstalled() const override { return notifier_ != nullptr; }

private:
    X11ActivitySource(_XDisplay* display, int opcode, QObject* parent);
    void SelectRawEvents(bool on);
    void ReadEvents();

    _XDisplay* display_;
    int opcode_;  // the extension's major opcode, which its events carry
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tollix
