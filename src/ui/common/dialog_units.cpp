#include "ui/common/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

namespace tollix::dialog {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

QFont DialogUnits::DialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width over the 52 letters, rounded to whole pixels, as dialog units have
    // always been measured; the height is the font's full line height.
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = (metrics.horizontalAdvance(kLetters) / 26 + 1) / 2;
    baseY_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const {
    return MulDiv(units, baseX_, 4);
}

int DialogUnits::ToPixelsY(int units) const {
    return MulDiv(units, baseY_, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return {left, top, ToPixelsX(x + width) - left, ToPixelsY(y + height) - top};
}

QSize DialogUnits::ToPixels(int width, int height) const {
    return {ToPixelsX(width), ToPixelsY(height)};
}

}  // namespace tollix::dialog
