#pragma once

#include <QDialog>

class QDialogButtonBox;
class QTabWidget;

namespace tollix {

class CPropertyPage;

// The tabbed settings dialog: its pages, OK and Cancel. Leaving a page (another tab or
// OK) first lets the page read its controls back; a page that refuses a value stays in
// front and the sheet stays open. OK then lets every page that was opened read its
// controls once more. Cancel, Escape and the close box end it without reading anything.
class CSettingsSheet : public QDialog {
    Q_OBJECT

public:
    explicit CSettingsSheet(QWidget* owner = nullptr);

    // The sheet takes the page; pages appear in the order they were added.
    void AddPage(CPropertyPage* page);
    int PageCount() const;
    CPropertyPage* Page(int index) const;
    CPropertyPage* CurrentPage() const;
    // Switches to the page as a click on its tab would: the current page is left first.
    bool SetActivePage(int index);

    QTabWidget* Tabs() const { return tabs_; }
    QDialogButtonBox* Buttons() const { return buttons_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnTabChanged(int index);

    QTabWidget* tabs_;
    QDialogButtonBox* buttons_;
    int current_ = 0;
};

}  // namespace tollix
