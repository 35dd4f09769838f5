#pragma once

#include <QString>
#include <QToolBar>

class QLabel;
class QPushButton;

namespace tollix {

// A conversation's bar for the oldest file offer of its contact that waits for an answer:
// who offers what, and how large it is all together, with Accept (into the download
// folder), "Save as..." (into a folder the user picks) and Decline. Hidden while no offer
// waits. The names come from the network and are shown as plain text.
class OfferBar : public QToolBar {
    Q_OBJECT

public:
    explicit OfferBar(QWidget* parent = nullptr);

    // The offer to answer; an empty ID hides the bar.
    void ShowOffer(const QString& id, const QString& text);
    QString OfferId() const { return id_; }

    QLabel* Text() const { return text_; }
    QPushButton* AcceptButton() const { return accept_; }
    QPushButton* SaveAsButton() const { return saveAs_; }
    QPushButton* DeclineButton() const { return decline_; }

signals:
    void acceptRequested(const QString& id);
    void saveAsRequested(const QString& id);
    void declineRequested(const QString& id);

private:
    QString id_;
    QLabel* text_;
    QPushButton* accept_;
    QPushButton* saveAs_;
    QPushButton* decline_;
};

}  // namespace tollix
