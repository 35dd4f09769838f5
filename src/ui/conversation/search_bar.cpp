#include "ui/conversation/search_bar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace tollix {

SearchBar::SearchBar(QWidget* parent)
    : QToolBar(QStringLiteral("Search"), parent),
      field_(new QLineEdit(this)),
      result_(new QLabel(this)) {
    setObjectName(QStringLiteral("search"));
    setMovable(false);
    setFloatable(false);
    field_->setPlaceholderText(QStringLiteral("Search the history"));
    field_->setClearButtonEnabled(true);
    field_->installEventFilter(this);
    addWidget(field_);
    result_->setContentsMargins(6, 0, 6, 0);
    addWidget(result_);
    hide();
}

void SearchBar::Open() {
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void SearchBar::ShowResult(int current, int count) {
    result_->setText(count == 0 ? QStringLiteral("Not found")
                                : QStringLiteral("%1 of %2").arg(current).arg(count));
}

QString SearchBar::Result() const {
    return result_->text();
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!field_->text().trimmed().isEmpty()) {
                emit findRequested(field_->text(), !(key->modifiers() & Qt::ShiftModifier));
            }
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            hide();
            result_->clear();
            emit closed();
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

}  // namespace tollix
