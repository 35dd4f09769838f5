#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

class QPlainTextEdit;

namespace tollix {

class CTollixApp;

// The about box: a small frameless box that stays on top, with the program's picture,
// its version and the traffic statistics, rebuilt every second while it is open. Run it
// modally; OK, Enter and Escape end it.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 1000;

    explicit CAboutDlg(CTollixApp& app, QWidget* parent = nullptr);

    // The version line: "Tollix Version 1.2.0".
    static QString VersionText();
    // Rebuilds the statistics and shows them, one line each.
    void RefreshStatistics();
    QString StatisticsText() const { return statsText_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CTollixApp& app_;
    QString statsText_;
    QPlainTextEdit* statistics_ = nullptr;
    QTimer timer_;
};

}  // namespace tollix
