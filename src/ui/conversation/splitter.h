#pragma once

#include <QSplitter>

namespace tollix {

class CMsgFrame;

// The conversation's split of history above input. Whenever the user moves the split
// bar, the window learns the history's new share of the height, so that a later resize
// of the window can keep it.
class CSplitter : public QSplitter {
    Q_OBJECT

public:
    explicit CSplitter(CMsgFrame& frame, QWidget* parent = nullptr);
};

}  // namespace tollix
