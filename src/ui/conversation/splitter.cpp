#include "ui/conversation/splitter.h"

#include "ui/conversation/msg_frame.h"

namespace tollix {

CSplitter::CSplitter(CMsgFrame& frame, QWidget* parent) : QSplitter(Qt::Vertical, parent) {
    // Moved by the user only: the window's own resizing sets the sizes without this signal.
    connect(this, &QSplitter::splitterMoved, this, [&frame] { frame.StoreSplitRatio(); });
}

}  // namespace tollix
