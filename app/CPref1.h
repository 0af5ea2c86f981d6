#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

namespace qx {

class CMainWindow;

// The preferences page: Always on Top, Use Robot Exclusion, the identity
// (user agent) sent with every request and the Polite Crawling group. It
// starts from the values in force and hands its values to the main window
// when applied.
class CPref1 : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kOwnName = "QuillEx";

    explicit CPref1(CMainWindow* mainWindow, QWidget* parent = nullptr);

    int AlwaysOnTop() const { return alwaysOnTop_->isChecked() ? 1 : 0; }
    int UseRobotExclusion() const { return robotExclusion_->isChecked() ? 1 : 0; }
    QString IdentityText() const { return identity_->text(); }
    int ObeyRobots() const { return obeyRobots_->isChecked() ? 1 : 0; }
    int PerHostOn() const { return perHostOn_->isChecked() ? 1 : 0; }
    int PerHost() const { return perHost_->value(); }
    int SlowDown() const { return slowDown_->isChecked() ? 1 : 0; }
    bool IsModified() const { return modified_; }

    QCheckBox* AlwaysOnTopBox() const { return alwaysOnTop_; }
    QCheckBox* RobotExclusionBox() const { return robotExclusion_; }
    QLineEdit* IdentityBox() const { return identity_; }
    QToolButton* OwnNameButton() const { return ownName_; }
    QToolButton* DefaultButton() const { return default_; }
    QCheckBox* ObeyRobotsBox() const { return obeyRobots_; }
    QCheckBox* PerHostBox() const { return perHostOn_; }
    QSpinBox* PerHostNumber() const { return perHost_; }
    QCheckBox* SlowDownBox() const { return slowDown_; }

    // OK and Apply: the main window takes the values, then the page counts as
    // unchanged.
    void OnApply();

signals:
    void modifiedChanged(bool modified);

private:
    void SetModified(bool modified);
    QWidget* MakePoliteGroup();

    CMainWindow* mainWindow_;
    QCheckBox* alwaysOnTop_;
    QCheckBox* robotExclusion_;
    QLineEdit* identity_;
    QToolButton* ownName_;
    QToolButton* default_;
    QCheckBox* obeyRobots_;
    QCheckBox* perHostOn_;
    QSpinBox* perHost_;
    QCheckBox* slowDown_;
    bool modified_ = false;
};

}  // namespace qx
