#include "ui/conversation/offer_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

#include "ui/common/plain_text.h"

namespace tollix {

namespace {

// One line, cut with "..." where the bar is too narrow for it (a toolbar gives a wrapped
// label no more height); the whole text is its tooltip and stays its text().
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override {
        return {fontMetrics().averageCharWidth() * 12, QLabel::minimumSizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(text(), Qt::ElideRight, area.width()),
                              foregroundRole());
    }
};

}  // namespace

OfferBar::OfferBar(QWidget* parent)
    : QToolBar(QStringLiteral("File offer"), parent),
      text_(new ElidedLabel(this)),
      accept_(new QPushButton(QStringLiteral("Accept"), this)),
      saveAs_(new QPushButton(QStringLiteral("Save as..."), this)),
      decline_(new QPushButton(QStringLiteral("Decline"), this)) {
    setObjectName(QStringLiteral("fileOffer"));
    setMovable(false);
    setFloatable(false);
    text_->setTextFormat(Qt::PlainText);
    text_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(text_, 1);
    for (QPushButton* button : {accept_, saveAs_, decline_}) {
        layout->addWidget(button);
    }
    addWidget(row);
    connect(accept_, &QPushButton::clicked, this, [this] { emit acceptRequested(id_); });
    connect(saveAs_, &QPushButton::clicked, this, [this] { emit saveAsRequested(id_); });
    connect(decline_, &QPushButton::clicked, this, [this] { emit declineRequested(id_); });
    hide();
}

void OfferBar::ShowOffer(const QString& id, const QString& text) {
    id_ = id;
    text_->setText(text);
    text_->setToolTip(PlainToolTip(text));
    setVisible(!id.isEmpty());
}

}  // namespace tollix
