#pragma once

#include <QColor>

namespace tollix {

// `colour` as it is on a light background. On a dark one (where white stands out more
// than black), the least lightened variant of the same hue that stands out by `ratio`
// (white, where nothing less will do).
QColor ReadableOn(const QColor& colour, const QColor& background, double ratio = 4.5);

}  // namespace tollix
