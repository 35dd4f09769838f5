#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

class QMenu;

namespace tollix {

// The notification-area icon as the main frame uses it: added and removed on request,
// with a tip, and a balloon that stays set until cleared and is shown again whenever the
// icon is added or its tip changes (as a reminder that nags until it is dealt with).
class TrayIcon : public QObject {
    Q_OBJECT

public:
    // Notification areas show a balloon at least this long; a balloon is not shown again
    // while the previous one may still be on the screen.
    static constexpr int kBalloonMs = 10000;

    explicit TrayIcon(QObject* parent = nullptr);

    // Whether a notification area exists; replaceable for tests.
    std::function<bool()> isAvailable = &QSystemTrayIcon::isSystemTrayAvailable;

    // True when the icon is in the notification area afterwards.
    bool Add();
    void Remove();
    bool IsShown() const { return shown_; }

    void SetTip(const QString& tip);
    QString Tip() const { return icon_.toolTip(); }
    void SetMenu(QMenu* menu) { icon_.setContextMenu(menu); }

    void ShowBalloon(const QString& title, const QString& text);
    void ClearBalloon();
    QString BalloonTitle() const { return balloonTitle_; }
    QString BalloonText() const { return balloonText_; }
    // How often a balloon was put on the screen (tests).
    int BalloonsShown() const { return balloonsShown_; }

signals:
    // A left click or a double click on the icon.
    void activated();

private:
    void PopBalloon();

    QSystemTrayIcon icon_;
    bool shown_ = false;
    QString balloonTitle_;
    QString balloonText_;
    QString lastShown_;
    QElapsedTimer balloonShownAt_;
    int balloonsShown_ = 0;
};

}  // namespace tollix
