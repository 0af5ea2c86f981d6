#include "app/CModelessDialog.h"

#include <QCloseEvent>

namespace qx {

CModelessDialog::CModelessDialog(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
}

void CModelessDialog::accept() {
    if (ValidateData()) {
        close();
    }
}

void CModelessDialog::reject() {
    close();
}

void CModelessDialog::closeEvent(QCloseEvent* event) {
    event->accept();
}

}  // namespace qx
