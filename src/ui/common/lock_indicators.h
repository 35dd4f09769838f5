#pragma once

#include <QObject>
#include <QTimer>

class QLabel;
class QStatusBar;

namespace tollix {

// The status bar's indicator panes "CAP", "NUM" and "SCRL", each as wide as its text and
// close together: each shows its text while its lock key is on and stays blank, at the
// same width, while it is off or the display server does not tell.
class LockIndicators : public QObject {
    Q_OBJECT

public:
    // Adds the three panes at the right end of `bar`.
    explicit LockIndicators(QStatusBar& bar);

    void Refresh();

private:
    QLabel* caps_ = nullptr;
    QLabel* num_ = nullptr;
    QLabel* scroll_ = nullptr;
    // The lock keys can change in any program; the panes follow within a moment.
    QTimer poll_;
};

}  // namespace tollix
