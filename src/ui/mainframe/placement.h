#pragma once

#include <QRect>

class QWidget;

namespace tollix {

// Where the main window docks at start-up: 180 pixels wide, 0.8 of the height available to
// a full-screen window, centred vertically on the screen, at the left edge (stick mode 0)
// or the right edge (any other mode).
QRect MainWindowPlacement(int guiStickMode, const QRect& screen, int fullScreenHeight);

// Moves and sizes the window on its primary screen.
void PlaceMainWindow(QWidget& window, int guiStickMode);

}  // namespace tollix
