#pragma once

#include <QDBusConnection>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/activity_source.h"
#include "platform/window_activity_source.h"

namespace tollix {

// Input anywhere on a Wayland session, where the compositor lets no program see the input
// of others: the compositor's idle time, asked over the session bus once a second. GNOME
// answers org.gnome.Mutter.IdleMonitor GetIdletime, KDE and others org.freedesktop.ScreenSaver
// GetSessionIdleTime; the first that answers is asked from then on. An idle time lower
// than the one before, or zero, means input since the last question, which is `activity`;
// the away logic measures the time-out from there as it does for every other source.
// Where neither answers, the program's own windows are all that is seen, and one line on
// standard error says so. Input to the own windows counts in every case.
class DesktopIdleActivity : public ActivitySource {
    Q_OBJECT

public:
    enum class Monitor { Unknown, Mutter, ScreenSaver, None };

    explicit DesktopIdleActivity(QObject* parent = nullptr);
    ~DesktopIdleActivity() override;

    bool Install() override;
    void Remove() override;
    bool IsInstalled() const override { return ownWindows_.IsInstalled(); }

    // The idle monitor that answers; Unknown until the first answer.
    Monitor ActiveMonitor() const { return monitor_; }
    // Tests ask more often, and keep the notice off standard error.
    void SetInterval(int milliseconds) { poll_.setInterval(milliseconds); }
    void SetNoticeOutput(std::FILE* out) { notice_ = out; }

private:
    void AskNext();
    void Ask(Monitor monitor);
    void OnIdleTime(std::uint64_t idle);
    void OnNoAnswer(Monitor asked);

    WindowActivitySource ownWindows_;
    QDBusConnection bus_;
    QTimer poll_;
    Monitor monitor_ = Monitor::Unknown;
    std::optional<std::uint64_t> lastIdle_;
    bool asking_ = false;  // no second question while the first is unanswered
    std::FILE* notice_ = stderr;
};

}  // namespace tollix
