#pragma once

#include <QToolBar>

class QLabel;
class QPushButton;
class QWidget;

namespace tollix {

// A conversation's bar about private conversations, above its status bar: the warning that
// the contact's security code has changed, with the one click that accepts the new code;
// and the oldest text that waits for the contact, with the offer to send it openly, once,
// or to cancel it. Hidden while there is nothing to say. Names and texts from the network
// are shown as plain text.
class PrivacyBar : public QToolBar {
    Q_OBJECT

public:
    explicit PrivacyBar(QWidget* parent = nullptr);

    // The warning, stronger for a contact whose code the user had verified; empty: none.
    void ShowChanged(const QString& warning, bool strong);
    // What waits; empty: nothing.
    void ShowWaiting(const QString& text);

    QLabel* Warning() const { return warning_; }
    QLabel* WaitingText() const { return waiting_; }
    QPushButton* AcceptButton() const { return accept_; }
    QPushButton* SendOpenlyButton() const { return sendOpenly_; }
    QPushButton* CancelButton() const { return cancel_; }

signals:
    void acceptRequested();
    void sendOpenlyRequested();
    void cancelRequested();

private:
    void Fit();

    QWidget* changedRow_;
    QLabel* warning_;
    QPushButton* accept_;
    QWidget* waitingRow_;
    QLabel* waiting_;
    QPushButton* sendOpenly_;
    QPushButton* cancel_;
};

}  // namespace tollix
