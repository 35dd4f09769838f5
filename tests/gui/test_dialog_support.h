#pragma once

// Shared by the dialog tests and the screenshot program: answering message boxes while a
// modal loop runs, finding controls whose text or picture does not fit, and framed controls
// whose border a picture of the window does not show.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <cmath>
#include <tuple>
#include <vector>

namespace tollix::testing {

struct ShownBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format;
};

// Answers every modal message box that appears while it lives, recording what it showed.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
    }
    void SetAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
    // While paused, boxes stay open for the test to act on.
    void Pause(bool paused) { paused_ = paused; }
    QStringList Texts() const {
        QStringList texts;
        for (const ShownBox& box : boxes) {
            texts << box.text;
        }
        return texts;
    }

    std::vector<ShownBox> boxes;

private:
    void Poll() {
        if (paused_) {
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                         box->textFormat()});
        QAbstractButton* button = box->button(answer_);
        if (button == nullptr) {
            button = box->buttons().constFirst();
        }
        button->click();
    }

    QMessageBox::StandardButton answer_;
    bool paused_ = false;
    QTimer timer_;
};

// The push button of `window` itself (not of a box or chooser it has opened) with `text`.
inline QPushButton* FindButton(const QWidget& window, const QString& text) {
    for (QPushButton* button : window.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

// Every control of `root` (visible or about to be) whose text or indicator would be cut
// off by its own rectangle or whose rectangle leaves its parent's, as readable lines.
inline QStringList FindClippedControls(const QWidget* root) {
    QStringList clipped;
    const auto report = [&](const QWidget* widget, const QString& what) {
        clipped << QStringLiteral("%1 \"%2\": %3")
                       .arg(QString::fromLatin1(widget->metaObject()->className()),
                            widget->property("text").toString(), what);
    };
    for (const QWidget* widget : root->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(root) || widget->isWindow()) {
            continue;
        }
        const QFontMetrics metrics(widget->font());
        const QStyle* style = widget->style();
        const QRect inParent = widget->parentWidget()->rect();
        if (!inParent.contains(widget->geometry())) {
            const QRect r = widget->geometry();
            report(widget, QStringLiteral("%1,%2 %3x%4 outside its parent's %5x%6")
                               .arg(r.x())
                               .arg(r.y())
                               .arg(r.width())
                               .arg(r.height())
                               .arg(inParent.width())
                               .arg(inParent.height()));
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (!label->text().isEmpty() &&
                (metrics.horizontalAdvance(label->text()) > label->contentsRect().width() ||
                 metrics.height() > label->contentsRect().height())) {
                report(widget, QStringLiteral("text does not fit"));
            }
            if (!label->pixmap().isNull() &&
                !label->contentsRect().contains(
                    QRect(QPoint(), label->pixmap().deviceIndependentSize().toSize()))) {
                report(widget, QStringLiteral("picture does not fit"));
            }
        } else if (qobject_cast<const QCheckBox*>(widget) != nullptr ||
                   qobject_cast<const QRadioButton*>(widget) != nullptr) {
            const auto* button = static_cast<const QAbstractButton*>(widget);
            const bool radio = qobject_cast<const QRadioButton*>(widget) != nullptr;
            const int box = style->pixelMetric(
                radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth, nullptr,
                widget);
            const int boxHeight = style->pixelMetric(
                radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight, nullptr,
                widget);
            const int spacing = style->pixelMetric(
                radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing,
                nullptr, widget);
            if (box + spacing + metrics.horizontalAdvance(button->text()) > widget->width()) {
                report(widget, QStringLiteral("text does not fit beside the box"));
            }
            if (std::max(boxHeight, metrics.height()) > widget->height()) {
                report(widget, QStringLiteral("too low for its box or text"));
            }
        } else if (const auto* push = qobject_cast<const QPushButton*>(widget)) {
            const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, widget);
            if (metrics.horizontalAdvance(push->text()) + margin > push->width() ||
                metrics.height() > push->height()) {
                report(widget, QStringLiteral("text does not fit"));
            }
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            if (metrics.horizontalAdvance(group->title()) + 2 * metrics.averageCharWidth() >
                group->width()) {
                report(widget, QStringLiteral("title does not fit"));
            }
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
            if (metrics.height() + 2 * frame > edit->height()) {
                report(widget, QStringLiteral("too low for its text"));
            }
        }
    }
    return clipped;
}

// Every framed control of `window` (list boxes, multi-line fields) that shows no border on
// one of its sides in `picture`, what the screen shows of the window, as readable lines. A
// side has its border where, all along it but at the corners, one of the two device pixels
// at its edge differs both from the control's inside and from the window's background.
inline QStringList FindMissingFrames(const QWidget* window, const QImage& picture) {
    QStringList missing;
    const qreal ratio = picture.devicePixelRatio();
    const auto differs = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                   std::abs(qBlue(a) - qBlue(b)) >
               24;
    };
    for (const QAbstractScrollArea* area : window->findChildren<QAbstractScrollArea*>()) {
        if (!area->isVisibleTo(window) || area->frameShape() == QFrame::NoFrame) {
            continue;
        }
        const QRgb background = area->parentWidget()->palette().color(QPalette::Window).rgb();
        const QPoint at = area->mapTo(window, QPoint());
        const QRectF r(QPointF(at) * ratio, QSizeF(area->size()) * ratio);
        const int depth = static_cast<int>(std::ceil(2 * ratio)) + 2;
        // Each side: its name, the device row or column at its edge and which way is in.
        for (const auto& [name, isVertical, edge, isInward] :
             {std::tuple{"top", false, std::floor(r.top()), 1},
              std::tuple{"bottom", false, std::ceil(r.bottom()) - 1, -1},
              std::tuple{"left", true, std::floor(r.left()), 1},
              std::tuple{"right", true, std::ceil(r.right()) - 1, -1}}) {
            // Copies: clang 14 lets no lambda capture a structured binding.
            const bool vertical = isVertical;
            const int inward = isInward;
            const int from = static_cast<int>((vertical ? r.top() : r.left()) + 4 * ratio);
            const int to = static_cast<int>((vertical ? r.bottom() : r.right()) - 4 * ratio);
            const auto pixel = [&](int along, int across) {
                const QPoint p = vertical ? QPoint(across, along) : QPoint(along, across);
                return picture.valid(p) ? picture.pixel(p) : QRgb{};
            };
            const int line = static_cast<int>(edge);
            int bordered = 0;
            for (int t = from; t < to; ++t) {
                const QRgb inside = pixel(t, line + depth * inward);
                const auto border = [&](int d) {
                    return differs(pixel(t, line + d * inward), inside) &&
                           differs(pixel(t, line + d * inward), background);
                };
                bordered += border(0) || border(1) ? 1 : 0;
            }
            if (bordered < (to - from) * 9 / 10) {
                missing << QStringLiteral("%1 at %2,%3: no border on the %4 side (%5 of %6 pixels)")
                               .arg(QString::fromLatin1(area->metaObject()->className()))
                               .arg(at.x())
                               .arg(at.y())
                               .arg(QString::fromLatin1(name))
                               .arg(bordered)
                               .arg(to - from);
            }
        }
    }
    return missing;
}

}  // namespace tollix::testing
