#include "platform/activity_source.h"

#include <QGuiApplication>

#include "platform/desktop_idle_activity.h"
#include "platform/window_activity_source.h"
#include "platform/x11_activity_source.h"

namespace tollix {

namespace {

bool IsWaylandSession() {
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

std::unique_ptr<ActivitySource> ActivitySource::Create(QObject* parent) {
    // Under Wayland, X11 programs run in XWayland, whose raw events stop as soon as a
    // Wayland program has the focus: only the compositor knows when the user was last at
    // the computer, whichever platform plugin Qt runs on.
    if (IsWaylandSession()) {
        return std::make_unique<DesktopIdleActivity>(parent);
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (std::unique_ptr<ActivitySource> desktopWide = X11ActivitySource::TryCreate(parent)) {
            return desktopWide;
        }
    }
    return std::make_unique<WindowActivitySource>(parent);
}

}  // namespace tollix
