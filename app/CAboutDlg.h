#pragma once

#include <QDialog>

namespace qx {

// "About QuillEx": the program icon, the version line and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace qx
