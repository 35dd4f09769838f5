#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QFont;
class QWidget;

namespace tollix {

// The docked main window's width: 180 pixels, or more where the font needs more room for
// the title "Tollix" in the window manager's caption beside its icon and buttons (each
// about as wide as the caption is high), so that the title is not cut down to "...".
int MainWindowWidth(const QFont& font);

// Where the main window docks at start-up: `width` pixels wide, 0.8 of the height available
// to a full-screen window, centred vertically on the screen, at the left edge (stick mode
// 0) or the right edge (any other mode).
QRect MainWindowPlacement(int guiStickMode, const QRect& screen, int fullScreenHeight,
                          int width = 180);

// Moves and sizes the window on its primary screen.
void PlaceMainWindow(QWidget& window, int guiStickMode);

// Where the outer frame of the `n`-th conversation window opened goes (n from 0): beside the
// main window's frame `mainFrame`, on the side away from the screen's edge, level with its
// top, each one 24 pixels further down and away from the main window than the one before;
// starting over at the first place where a window of `size` would leave `available`.
QPoint ConversationPlacement(const QRect& mainFrame, const QRect& available, const QSize& size,
                             int n);

}  // namespace tollix
