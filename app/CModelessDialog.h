#pragma once

#include <QDialog>

namespace qx {

// A dialog that lives without a modal loop and deletes itself once closed, so
// objects of it are always created with new.
class CModelessDialog : public QDialog {
    Q_OBJECT
public:
    explicit CModelessDialog(QWidget* parent = nullptr);

    void accept() override;
    void reject() override;

protected:
    // Closing needs no answer from the dialog: the window simply goes.
    void closeEvent(QCloseEvent* event) override;
    // Checks the dialog's data before OK closes it; false keeps it open.
    virtual bool ValidateData() { return true; }
};

}  // namespace qx
