#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "app/CPropertyPage.h"

namespace qx {

// The "Home" tab: the program's own browser. Until the browser arrives it
// shows an empty page under a disabled navigation row and remembers the last
// address it was asked to show.
class CTabPg1 : public CPropertyPage {
    Q_OBJECT
public:
    explicit CTabPg1(QWidget* parent = nullptr);

    void Navigate(const QString& url);
    QString LastNavigatedUrl() const { return lastUrl_; }

private:
    QLineEdit* urlBox_;
    QString lastUrl_;
};

}  // namespace qx
