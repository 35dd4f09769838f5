#include "ui/common/left_text_check_box.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>

namespace tollix {

void LeftTextCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    const int boxWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
    const int boxHeight =
        std::min(height(), style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this));
    const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);

    QStyleOptionButton box = option;
    box.rect = QRect(width() - boxWidth, (height() - boxHeight) / 2, boxWidth, boxHeight);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);

    QStyleOptionButton label = option;
    label.rect = QRect(0, 0, std::max(0, width() - boxWidth - spacing), height());
    painter.drawControl(QStyle::CE_CheckBoxLabel, label);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = label.rect;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool LeftTextCheckBox::hitButton(const QPoint& pos) const {
    // The text and the box both toggle it, like the whole row of a check box does.
    return rect().contains(pos);
}

}  // namespace tollix
