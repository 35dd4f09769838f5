#pragma once

#include <QCheckBox>

namespace tollix {

// A check box whose text stands at its left edge and whose box at its right edge, as the
// settings pages have them. A right-to-left check box would right-align the text against
// the box instead.
class LeftTextCheckBox : public QCheckBox {
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

}  // namespace tollix
