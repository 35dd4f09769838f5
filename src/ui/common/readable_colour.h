#pragma once

#include <QColor>

namespace tollix {

// The contrast ratio of two colours from their relative luminance, as the web
// accessibility guidelines define it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// True for a background that white stands out from more than black.
bool IsDark(const QColor& background);

// `colour` where it stands out from `background` by `ratio`; otherwise the variant of the
// same hue changed least that does: lighter on a dark background, darker on a light one
// (white or black, where nothing less will do). Readable wins over the original shade.
QColor ReadableOn(const QColor& colour, const QColor& background, double ratio = 4.5);

}  // namespace tollix
