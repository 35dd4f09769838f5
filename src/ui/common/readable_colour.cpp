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

// The contrast ratio of two colours from their relative luminance, as the web
// accessibility guidelines define it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

QColor ReadableOn(const QColor& colour, const QColor& background, double ratio) {
    const bool dark = ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background);
    if (!dark) {
        return colour;
    }
    // Hue and saturation stay; the first lightness that is enough keeps the colour as
    // strong as it can be.
    const QColor hsl = colour.toHsl();
    constexpr int kStep = 5;
    for (int lightness = hsl.lightness(); lightness <= 255; lightness += kStep) {
        const QColor lighter = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness);
        if (ContrastRatio(lighter, background) >= ratio) {
            return lighter;
        }
    }
    return Qt::white;
}

}  // namespace tollix
