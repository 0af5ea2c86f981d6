#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <vector>

#include "app/CPropertyPage.h"
#include "app/RowTableModel.h"

namespace qx {

// The "Search" tab: the search controls, the scan list and the Remaining list.
class CTabPg2 : public CPropertyPage {
    Q_OBJECT
public:
    explicit CTabPg2(QWidget* parent = nullptr);
    ~CTabPg2() override;

    // The page's commands (buttons, and Start and Stop of the Actions menu).
    void OnStart();
    void OnStop();
    void OnClear();
    void OnDelete();
    void OnToLinks();
    void OnAdvanced();
    void OnSE();

    // Ends a running search for good before the window goes away.
    void Shutdown();

    bool AdvancedShown() const { return advancedShown_; }

    // Controls, for the links page, the command-line search and tests.
    QLineEdit* searchEdit;
    QLineEdit* targetEdit;
    QLineEdit* includeEdit;
    QLineEdit* excludeEdit;
    QPushButton* startButton;
    QPushButton* stopButton;
    QPushButton* clearButton;
    QPushButton* advancedButton;
    QPushButton* seButton;
    QPushButton* deleteButton;
    QPushButton* toLinksButton;
    QCheckBox* repeatCheck;
    QLineEdit* repeatEdit;
    QCheckBox* stopOnMatchCheck;
    QCheckBox* maxDepthCheck;
    QLineEdit* maxDepthEdit;
    QCheckBox* widthDepthCheck;
    QLineEdit* widthDepthEdit;
    QCheckBox* maxConnectionsCheck;
    QLineEdit* maxConnectionsEdit;
    QCheckBox* defaultWidthCheck;
    QLineEdit* defaultWidthEdit;
    QCheckBox* itemIncludeCheck;
    QCheckBox* describeCheck;
    QLineEdit* describeForwardEdit;
    QLineEdit* describeBackwardEdit;
    QGroupBox* engineTimingGroup;
    QCheckBox* engineTimingCheck;
    QLineEdit* engineRevsEdit;
    QLineEdit* engineDampEdit;
    QCheckBox* noRemoveCheck;
    QCheckBox* maxRemainingCheck;
    QLineEdit* maxRemainingEdit;
    QCheckBox* excludeUrlCheck;
    QCheckBox* includeUrlCheck;

    QTableView* scanView;
    QTableView* remainingView;
    RowTableModel* scanModel;
    RowTableModel* remainingModel;

private:
    QWidget* BuildAdvancedControls();
    QLineEdit* NumericEdit();
    void ConnectCommands();

    QWidget* advanced_ = nullptr;
    bool advancedShown_ = false;
};

}  // namespace qx
