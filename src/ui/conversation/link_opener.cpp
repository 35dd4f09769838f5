#include "ui/conversation/link_opener.h"

#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <utility>

namespace tollix {

namespace {

void OpenWithDesktop(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

LinkOpener& CurrentOpener() {
    static LinkOpener opener = OpenWithDesktop;
    return opener;
}

}  // namespace

LinkOpener ReplaceLinkOpener(LinkOpener opener) {
    if (!opener) {
        opener = OpenWithDesktop;
    }
    return std::exchange(CurrentOpener(), std::move(opener));
}

void OpenLinkTarget(const QUrl& url) {
    // Starting a browser can take a moment; the user sees that the click was taken.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    CurrentOpener()(url);
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace tollix
