#pragma once

#include "ui/conversation/rich_edit_pane.h"

namespace tollix {

class CMsgFrame;
struct AppSettings;

// The input pane of a conversation. Its send key sends the typed text: Enter when the
// setting `msgSendKey` is 0, Ctrl+Enter when it is 1 (Shift and Alt are not looked at);
// the other combination inserts a line break as in any text pane. Every key press shows
// the send-key hint in the window's status bar afresh.
class CMsgView : public CRichEditPane {
    Q_OBJECT

public:
    CMsgView(CMsgFrame& frame, const AppSettings& settings, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // True when the key press is the send key of the current setting.
    bool IsSendKey(const QKeyEvent& event) const;
    void OnKeyDown(QKeyEvent* event);

    CMsgFrame& frame_;
    const AppSettings& settings_;
};

}  // namespace tollix
