#include "ui/conversation/privacy_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tollix {

namespace {

QLabel* PlainLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);  // names and texts from the network
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
}

// A row of the bar: its label, then its buttons.
QWidget* Row(QWidget* parent, QLabel* label, std::initializer_list<QPushButton*> buttons) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label, 1);
    for (QPushButton* button : buttons) {
        layout->addWidget(button);
    }
    return row;
}

}  // namespace

PrivacyBar::PrivacyBar(QWidget* parent)
    : QToolBar(QStringLiteral("Private conversation"), parent),
      warning_(PlainLabel(this)),
      accept_(new QPushButton(QStringLiteral("Accept the new code"), this)),
      waiting_(PlainLabel(this)),
      sendOpenly_(new QPushButton(QStringLiteral("Send it openly"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel it"), this)) {
    setObjectName(QStringLiteral("privacy"));
    setMovable(false);
    setFloatable(false);
    auto* rows = new QWidget(this);
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    changedRow_ = Row(rows, warning_, {accept_});
    waitingRow_ = Row(rows, waiting_, {sendOpenly_, cancel_});
    layout->addWidget(changedRow_);
    layout->addWidget(waitingRow_);
    addWidget(rows);
    sendOpenly_->setToolTip(
        QStringLiteral("Sends this one text to the open group, where everyone on the network "
                       "can read it"));
    connect(accept_, &QPushButton::clicked, this, &PrivacyBar::acceptRequested);
    connect(sendOpenly_, &QPushButton::clicked, this, &PrivacyBar::sendOpenlyRequested);
    connect(cancel_, &QPushButton::clicked, this, &PrivacyBar::cancelRequested);
    changedRow_->hide();
    waitingRow_->hide();
    hide();
}

void PrivacyBar::ShowChanged(const QString& warning, bool strong) {
    warning_->setText(warning);
    QPalette colours = palette();
    if (strong) {
        colours.setColor(QPalette::WindowText, QColor(204, 0, 0));
    }
    warning_->setPalette(colours);
    QFont font = warning_->font();
    font.setBold(strong);
    warning_->setFont(font);
    changedRow_->setVisible(!warning.isEmpty());
    Fit();
}

void PrivacyBar::ShowWaiting(const QString& text) {
    waiting_->setText(text);
    waitingRow_->setVisible(!text.isEmpty());
    Fit();
}

void PrivacyBar::Fit() {
    setVisible(!changedRow_->isHidden() || !waitingRow_->isHidden());
}

}  // namespace tollix
