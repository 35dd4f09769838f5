#include "ui/about/about_dlg.h"

#include <qdrawutil.h>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <algorithm>

#include "core/tollix_app.h"
#include "protocol/version.h"
#include "ui/about/about_dlg_table.h"
#include "ui/common/dialog_controls.h"
#include "ui/common/pictures.h"

namespace tollix {

using namespace about_table;

namespace {

constexpr int kEdge = 1;  // the thin sunken edge around the box

}  // namespace

CAboutDlg::CAboutDlg(CTollixApp& app, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), app_(app) {
    const dialog::DialogControls controls = dialog::BuildDialog(this, kDialog, kEdge);

    auto* icon = qobject_cast<QLabel*>(controls.All()[kIconRow]);
    const int side = std::min(icon->width(), icon->height());
    icon->setPixmap(pictures::Program().pixmap(side, side));

    controls.Get<QLabel>(kVersion)->setText(VersionText());

    statistics_ = controls.Get<QPlainTextEdit>(kStatistics);
    // Six short lines must fit the field's height, so the document keeps a thin margin.
    statistics_->document()->setDocumentMargin(1);
    statistics_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    auto* ok = controls.Get<QPushButton>(kOk);
    connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);

    RefreshStatistics();
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &CAboutDlg::RefreshStatistics);
    timer_.start();
    RefreshStatistics();
    ok->setFocus();
}

QString CAboutDlg::VersionText() {
    return QString::asprintf("Tollix Version %d.%d.%d%s", kVersionMajor, kVersionMinor,
                             kVersionBuild, "");
}

void CAboutDlg::RefreshStatistics() {
    statsText_ = QString::fromStdString(app_.BuildStatisticsText(true));
    // Every line ends with CR LF; the field shows lines, without an empty one at the end.
    QString shown = statsText_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (shown.endsWith(u'\n')) {
        shown.chop(1);
    }
    statistics_->setPlainText(shown);
}

void CAboutDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    qDrawShadePanel(&painter, rect(), palette(), true, kEdge);
}

}  // namespace tollix
