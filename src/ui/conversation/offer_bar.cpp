#include "ui/conversation/offer_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tollix {

OfferBar::OfferBar(QWidget* parent)
    : QToolBar(QStringLiteral("File offer"), parent),
      text_(new QLabel(this)),
      accept_(new QPushButton(QStringLiteral("Accept"), this)),
      saveAs_(new QPushButton(QStringLiteral("Save as..."), this)),
      decline_(new QPushButton(QStringLiteral("Decline"), this)) {
    setObjectName(QStringLiteral("fileOffer"));
    setMovable(false);
    setFloatable(false);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
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
    setVisible(!id.isEmpty());
}

}  // namespace tollix
