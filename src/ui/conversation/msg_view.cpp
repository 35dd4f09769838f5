#include "ui/conversation/msg_view.h"

#include <QKeyEvent>

#include "core/app_settings.h"
#include "ui/conversation/msg_frame.h"

namespace tollix {

CMsgView::CMsgView(CMsgFrame& frame, const AppSettings& settings, QWidget* parent)
    : CRichEditPane(parent), frame_(frame), settings_(settings) {
    // What is sent is plain text; pasted formatting would only mislead.
    setAcceptRichText(false);
}

bool CMsgView::IsSendKey(const QKeyEvent& event) const {
    if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter) {
        return false;
    }
    const bool ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    return (ctrl && settings_.msgSendKey == 1) || (!ctrl && settings_.msgSendKey == 0);
}

void CMsgView::keyPressEvent(QKeyEvent* event) {
    OnKeyDown(event);
}

void CMsgView::OnKeyDown(QKeyEvent* event) {
    // The window outlives the send, even when it was closed during the send's alert.
    if (IsSendKey(*event)) {
        event->accept();  // the send key inserts no line break
        frame_.SendTypedText();
    } else {
        CRichEditPane::keyPressEvent(event);
    }
    frame_.ShowSendHint();
}

}  // namespace tollix
