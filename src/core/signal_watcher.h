#pragma once

#include <QObject>

class QSocketNotifier;

namespace tollix {

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the event loop, so that a program shuts
// down in its usual order (farewell, settings saved) instead of dying on the spot. The
// handler only writes the signal's number into a pipe; everything else happens on the
// event-loop thread.
class SignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    // Once per signal received, with its number.
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tollix
