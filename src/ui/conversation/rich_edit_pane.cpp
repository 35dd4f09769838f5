#include "ui/conversation/rich_edit_pane.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>

#include "ui/common/crisp_frame.h"
#include "ui/conversation/link_detection.h"
#include "ui/conversation/link_opener.h"

namespace tollix {

CRichEditPane::CRichEditPane(QWidget* parent) : QTextEdit(parent) {
    new LinkHighlighter(document());  // the document owns it
    setFrameShape(QFrame::StyledPanel);
    UseCrispFrame(*this);  // also at a fractional scale
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
}

QString CRichEditPane::LinkAt(const QPoint& viewportPos) const {
    const QPoint inDocument =
        viewportPos + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    int position = document()->documentLayout()->hitTest(inDocument, Qt::ExactHit);
    if (position < 0) {
        return {};
    }
    // The hit is a caret position: a point on the right half of a character gives the
    // position after it.
    QTextCursor caret(document());
    caret.setPosition(position);
    if (position > 0 && viewportPos.x() < cursorRect(caret).x()) {
        --position;
    }
    const QTextBlock block = document()->findBlock(position);
    const qsizetype offset = position - block.position();
    for (const LinkSpan& link : FindLinks(block.text())) {
        if (offset >= link.start && offset < link.start + link.length) {
            return link.text;
        }
    }
    return {};
}

bool CRichEditPane::OpenLink(const QMouseEvent& event) {
    if (event.button() != Qt::LeftButton) {
        return false;
    }
    const QString link = LinkAt(event.position().toPoint());
    if (link.isEmpty()) {
        return false;
    }
    OpenLinkTarget(LinkTarget(link));
    return true;
}

void CRichEditPane::mousePressEvent(QMouseEvent* event) {
    if (OpenLink(*event)) {
        linkPressed_ = true;
        event->accept();
        return;
    }
    QTextEdit::mousePressEvent(event);
}

void CRichEditPane::mouseMoveEvent(QMouseEvent* event) {
    if (linkPressed_) {
        event->accept();
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        ShowLinkCursor(!LinkAt(event->position().toPoint()).isEmpty());
    }
    QTextEdit::mouseMoveEvent(event);
}

void CRichEditPane::mouseReleaseEvent(QMouseEvent* event) {
    if (linkPressed_ && event->button() == Qt::LeftButton) {
        linkPressed_ = false;
        event->accept();
        return;
    }
    QTextEdit::mouseReleaseEvent(event);
}

void CRichEditPane::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click on a link would select the word under it.
    if (event->button() == Qt::LeftButton && !LinkAt(event->position().toPoint()).isEmpty()) {
        linkPressed_ = true;
        event->accept();
        return;
    }
    QTextEdit::mouseDoubleClickEvent(event);
}

void CRichEditPane::ShowLinkCursor(bool overLink) {
    if (overLink == showingLinkCursor_) {
        return;
    }
    showingLinkCursor_ = overLink;
    if (overLink) {
        textCursorShape_ = viewport()->cursor();
        viewport()->setCursor(Qt::PointingHandCursor);
    } else {
        viewport()->setCursor(textCursorShape_);
    }
}

}  // namespace tollix
