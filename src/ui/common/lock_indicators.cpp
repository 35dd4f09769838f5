#include "ui/common/lock_indicators.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>

#include "platform/lock_keys.h"

namespace tollix {

namespace {

constexpr int kPollMilliseconds = 300;
// Between two panes; the status bar's own gap between widgets is wider than these need.
constexpr int kPaneGap = 2;

QLabel* AddPane(QHBoxLayout& panes, const QString& text) {
    auto* pane = new QLabel(panes.parentWidget());
    pane->setAlignment(Qt::AlignCenter);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    // Exactly as wide as its text when the key is on, so that the bar does not move and
    // the message pane keeps the rest.
    pane->setText(text);
    pane->setFixedWidth(pane->sizeHint().width());
    pane->setProperty("indicatorText", text);
    panes.addWidget(pane);
    return pane;
}

void Show(QLabel& pane, bool on) {
    pane.setText(on ? pane.property("indicatorText").toString() : QString());
}

}  // namespace

LockIndicators::LockIndicators(QStatusBar& bar) : QObject(&bar) {
    auto* panes = new QWidget(&bar);
    auto* layout = new QHBoxLayout(panes);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kPaneGap);
    caps_ = AddPane(*layout, QStringLiteral("CAP"));
    num_ = AddPane(*layout, QStringLiteral("NUM"));
    scroll_ = AddPane(*layout, QStringLiteral("SCRL"));
    bar.addPermanentWidget(panes);
    connect(&poll_, &QTimer::timeout, this, [this] {
        // Asking the display server costs a round trip; a hidden window need not ask.
        if (caps_->isVisible()) {
            Refresh();
        }
    });
    poll_.start(kPollMilliseconds);
    Refresh();
}

void LockIndicators::Refresh() {
    const LockKeys keys = ReadLockKeys();
    Show(*caps_, keys.known && keys.capsLock);
    Show(*num_, keys.known && keys.numLock);
    Show(*scroll_, keys.known && keys.scrollLock);
}

}  // namespace tollix
