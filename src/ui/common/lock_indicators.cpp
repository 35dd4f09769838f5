#include "ui/common/lock_indicators.h"

#include <QLabel>
#include <QStatusBar>

#include "platform/lock_keys.h"

namespace tollix {

namespace {

constexpr int kPollMilliseconds = 300;

QLabel* AddPane(QStatusBar& bar, const QString& text) {
    auto* pane = new QLabel(&bar);
    pane->setAlignment(Qt::AlignCenter);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    // As wide as its text when the key is on, so that the bar does not move.
    pane->setText(text);
    pane->setMinimumWidth(pane->sizeHint().width() + pane->fontMetrics().averageCharWidth());
    pane->setProperty("indicatorText", text);
    bar.addPermanentWidget(pane);
    return pane;
}

void Show(QLabel& pane, bool on) {
    pane.setText(on ? pane.property("indicatorText").toString() : QString());
}

}  // namespace

LockIndicators::LockIndicators(QStatusBar& bar)
    : QObject(&bar),
      caps_(AddPane(bar, QStringLiteral("CAP"))),
      num_(AddPane(bar, QStringLiteral("NUM"))),
      scroll_(AddPane(bar, QStringLiteral("SCRL"))) {
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
