#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QToolButton>

namespace qx {

class CMainWindow;

// The preferences page: Always on Top, Use Robot Exclusion and the identity
// (user agent) sent with every request. It starts from the values in force
// and hands its values to the main window when applied.
class CPref1 : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kOwnName = "QuillEx";

    explicit CPref1(CMainWindow* mainWindow, QWidget* parent = nullptr);

    int AlwaysOnTop() const { return alwaysOnTop_->isChecked() ? 1 : 0; }
    int UseRobotExclusion() const { return robotExclusion_->isChecked() ? 1 : 0; }
    QString IdentityText() const { return identity_->text(); }
    bool IsModified() const { return modified_; }

    QCheckBox* AlwaysOnTopBox() const { return alwaysOnTop_; }
    QCheckBox* RobotExclusionBox() const { return robotExclusion_; }
    QLineEdit* IdentityBox() const { return identity_; }
    QToolButton* OwnNameButton() const { return ownName_; }
    QToolButton* DefaultButton() const { return default_; }

    // OK and Apply: the main window takes the values, then the page counts as
    // unchanged.
    void OnApply();

signals:
    void modifiedChanged(bool modified);

private:
    void SetModified(bool modified);

    CMainWindow* mainWindow_;
    QCheckBox* alwaysOnTop_;
    QCheckBox* robotExclusion_;
    QLineEdit* identity_;
    QToolButton* ownName_;
    QToolButton* default_;
    bool modified_ = false;
};

}  // namespace qx
