#pragma once

#include <QCursor>
#include <QTextEdit>

namespace tollix {

// What the history and the input pane share: a bordered, wrapping multi-line text pane
// that shows web addresses in its text as links and opens one on a left click.
//
// Clicking a link opens it and leaves the pane as it was: the press, and the moves and
// the release that follow it, are not passed on, so neither the caret nor the selection
// moves. Other buttons on a link, and every click elsewhere, get the ordinary handling.
class CRichEditPane : public QTextEdit {
    Q_OBJECT

public:
    explicit CRichEditPane(QWidget* parent = nullptr);

    // The link whose text is under a point of the viewport, or an empty string.
    QString LinkAt(const QPoint& viewportPos) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // Opens the link under a left press; true when the press was on a link.
    bool OpenLink(const QMouseEvent& event);

private:
    void ShowLinkCursor(bool overLink);

    bool linkPressed_ = false;
    bool showingLinkCursor_ = false;
    QCursor textCursorShape_;
};

}  // namespace tollix
