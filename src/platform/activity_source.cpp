#include "platform/activity_source.h"

#include <QGuiApplication>

#include "platform/window_activity_source.h"
#include "platform/x11_activity_source.h"

namespace tollix {

std::unique_ptr<ActivitySource> ActivitySource::Create(QObject* parent) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (std::unique_ptr<ActivitySource> desktopWide = X11ActivitySource::TryCreate(parent)) {
            return desktopWide;
        }
    }
    return std::make_unique<WindowActivitySource>(parent);
}

}  // namespace tollix
