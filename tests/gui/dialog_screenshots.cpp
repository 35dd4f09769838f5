// Shows the settings sheet's three pages, the about box and the file transfer dialog, puts
// pictures of them side by side into one PNG and lists every control whose text does
// not fit and every framed control whose border the picture does not show. Run under an X
// server by scripts/screenshot-dialogs.sh; exit status 1 when something is cut off or a
// border is missing.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "core/settings_store.h"
#include "core_harness.h"
#include "test_dialog_support.h"
#include "ui/about/about_dlg.h"
#include "ui/filetransfer/file_transfer_dlg.h"
#include "ui/settings/settings_command.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

struct Shot {
    QString name;
    QPixmap picture;
    QStringList faults;  // controls cut off, borders missing
};

// What the X server shows of the window once it has been painted, so that the picture
// is the one on the screen; widget rendering where there is no server.
Shot Take(const QString& name, QWidget* window) {
    QElapsedTimer painted;
    painted.start();
    while (painted.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QPixmap picture = window->screen()->grabWindow(window->winId());
    if (picture.isNull()) {
        picture = window->grab();
    }
    return {name, picture,
            FindClippedControls(window) + FindMissingFrames(window, picture.toImage())};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }

    CoreHarness h;
    h.multicast.localAddresses = {"192.168.1.20", "10.0.0.5"};
    h.AddTunnel("10.0.0.9", 11);
    h.AddTunnel("gateway.example", 12);
    NetMessage hello;
    hello.msgType = MSGTYPE_ONLINE;
    hello.from = "10.0.0.9";
    hello.body = "|FIRSTNAME=Bob|SECONDNAME=Brown|GROUP=Ops|";
    h.app.Contacts().OnIncomingMessage(hello);

    std::vector<Shot> shots;
    const SettingsStore store(QDir::tempPath() + "/tollix-screenshots");
    QPointer<CSettingsSheet> open;
    QTimer::singleShot(0, [&] {
        shots.push_back(Take("General", open));
        open->SetActivePage(1);
        shots.push_back(Take("Networking", open));
        open->SetActivePage(2);
        shots.push_back(Take("History", open));
        open->reject();
    });
    OnSettings(h.app, store, nullptr, nullptr, open);

    {
        CAboutDlg about(h.app);
        about.show();
        shots.push_back(Take("About", &about));
    }
    {
        auto* transfer = new CFileTransferDlg(nullptr);
        transfer->BindContact(*h.app.Contacts().FindContact("10.0.0.9"));
        transfer->TakeFile(QStringLiteral("/etc/hostname"));
        transfer->show();
        shots.push_back(Take("File transfer", transfer));
        transfer->close();
    }

    const int gap = 16;
    int width = gap;
    int height = 0;
    for (const Shot& shot : shots) {
        const QSize size = shot.picture.deviceIndependentSize().toSize();
        width += size.width() + gap;
        height = std::max(height, size.height());
    }
    const qreal ratio = shots.front().picture.devicePixelRatio();
    QPixmap sheet(QSize(width, height + 2 * gap) * ratio);
    sheet.setDevicePixelRatio(ratio);
    sheet.fill(Qt::darkGray);
    QPainter painter(&sheet);
    int x = gap;
    bool anyFault = false;
    for (const Shot& shot : shots) {
        painter.drawPixmap(x, gap, shot.picture);
        x += shot.picture.deviceIndependentSize().toSize().width() + gap;
        for (const QString& line : shot.faults) {
            std::printf("%s: %s\n", qPrintable(shot.name), qPrintable(line));
            anyFault = true;
        }
    }
    painter.end();
    sheet.save(QString::fromLocal8Bit(argv[1]));
    const dialog::DialogUnits units;
    std::printf("%s: font %s %.1fpt, dialog units %d x %d px, device pixel ratio %.2f\n", argv[1],
                qPrintable(dialog::DialogUnits::DialogFont().family()),
                dialog::DialogUnits::DialogFont().pointSizeF(), units.BaseX(), units.BaseY(),
                ratio);
    return anyFault ? 1 : 0;
}
