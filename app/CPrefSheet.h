#pragma once

#include <QDialog>
#include <QDialogButtonBox>

namespace qx {

class CMainWindow;
class CPref1;

// The "Preferences" dialog: one tab with the preferences page and the OK,
// Cancel and Apply buttons. Apply is enabled while the page has changes.
class CPrefSheet : public QDialog {
    Q_OBJECT
public:
    explicit CPrefSheet(CMainWindow* mainWindow);

    CPref1* Page() const { return page_; }
    QDialogButtonBox* Buttons() const { return buttons_; }

private:
    CPref1* page_;
    QDialogButtonBox* buttons_;
};

}  // namespace qx
