#include "ui/common/readable_colour.h"

#include <algorithm>
#include <cmath>

namespace tollix {

namespace {

double RelativeLuminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDark(const QColor& background) {
    return ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background);
}

QColor ReadableOn(const QColor& colour, const QColor& background, double ratio) {
    if (ContrastRatio(colour, background) >= ratio) {
        return colour;
    }
    // Hue and saturation stay; the first lightness that is enough keeps the colour as
    // close to the original as it can be.
    const QColor hsl = colour.toHsl();
    constexpr int kStep = 5;
    const int step = IsDark(background) ? kStep : -kStep;
    for (int lightness = hsl.lightness() + step; lightness >= 0 && lightness <= 255;
         lightness += step) {
        const QColor changed = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness);
        if (ContrastRatio(changed, background) >= ratio) {
            return changed;
        }
    }
    return IsDark(background) ? QColor(Qt::white) : QColor(Qt::black);
}

}  // namespace tollix
