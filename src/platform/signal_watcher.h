#pragma once

#include <QObject>

class QSocketNotifier;

namespace tollix {

// Turns SIGTERM and SIGINT into a signal on the event loop, so that the program shuts down
// in its usual order (farewell, settings saved) instead of dying on the spot. The handler
// only writes a byte into a pipe; everything else happens on the GUI thread.
class SignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tollix
