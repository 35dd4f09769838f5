#pragma once

class QWidget;

namespace tollix {

// Keeps a top-level window out of the task bar and the pager (the window is reached
// through the tray icon instead). Call it whenever the window is about to be shown: window
// managers drop the state when a window is hidden. Does nothing where the display server
// is not X11.
void KeepOutOfTaskbar(QWidget& window);

}  // namespace tollix
