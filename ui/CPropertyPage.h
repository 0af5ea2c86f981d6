#pragma once

#include <QWidget>

namespace qx {

class CMainWindow;

// A page of the main window's tabs. It reaches the other pages and the status
// bar only through its owner.
class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit CPropertyPage(QWidget* parent = nullptr) : QWidget(parent) {}

    void SetOwner(CMainWindow* owner) { owner_ = owner; }
    CMainWindow* Owner() const { return owner_; }

    // Called each time the page's tab becomes the current one.
    virtual void OnSetActive() {}

private:
    CMainWindow* owner_ = nullptr;
};

}  // namespace qx
