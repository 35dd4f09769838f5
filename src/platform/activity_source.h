#pragma once

#include <QObject>
#include <memory>

namespace tollix {

// Where the away logic learns that the user is at the computer: `activity` is emitted on
// the GUI thread for every key press (not release), mouse button and pointer motion that
// the source can observe.
//
// The desktop program installs it at start-up when "Send AWAY message" is on and removes
// it at shutdown; in between, every `activity` is user activity.
class ActivitySource : public QObject {
    Q_OBJECT

public:
    // The source for the running session. On a Wayland session the compositor's idle time
    // (DesktopIdleActivity); on X11 with the XInput 2 extension input anywhere on the
    // desktop; elsewhere (offscreen) input to the program's own windows. The caller owns
    // the source; a parent given here must outlive it.
    static std::unique_ptr<ActivitySource> Create(QObject* parent = nullptr);

    // True when input is observed from now on; installing twice is harmless.
    virtual bool Install() = 0;
    virtual void Remove() = 0;
    virtual bool IsInstalled() const = 0;

signals:
    void activity();

protected:
    explicit ActivitySource(QObject* parent) : QObject(parent) {}
};

}  // namespace tollix
