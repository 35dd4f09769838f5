#pragma once

class QFrame;

namespace tollix {

// Draws the outer line of a framed control's border (a list box, a multi-line field, a
// text pane) again, as filled bands one pixel wide in the colour of the style's outlines,
// on top of the control. At a fractional scale (1.25 at 120 DPI) the control's edges fall
// between device pixels, and the style's hairlines there are clipped away or covered by the
// control's inside; a band of one device-independent pixel that nothing paints over always
// covers a whole device pixel of the control.
void UseCrispFrame(QFrame& control);

}  // namespace tollix
