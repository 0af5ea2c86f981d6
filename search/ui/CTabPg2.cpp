#include "search/ui/CTabPg2.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/ListViews.h"

namespace qx {

namespace {

const std::initializer_list<int> kScanChars = {30, 30, 100};
const std::initializer_list<int> kRemainingChars = {50, 15, 15, 15};

}  // namespace

CTabPg2::CTabPg2(QWidget* parent)
    : CPropertyPage(parent),
      searchEdit(new QLineEdit(this)),
      targetEdit(NumericEdit()),
      includeEdit(new QLineEdit(this)),
      excludeEdit(new QLineEdit(this)),
      startButton(new QPushButton(QStringLiteral("Start"), this)),
      stopButton(new QPushButton(QStringLiteral("Stop"), this)),
      clearButton(new QPushButton(QStringLiteral("Clear"), this)),
      advancedButton(new QPushButton(QStringLiteral("Advanced"), this)),
      seButton(new QPushButton(QStringLiteral("SE"), this)),
      deleteButton(new QPushButton(QStringLiteral("Delete"), this)),
      toLinksButton(new QPushButton(QStringLiteral("To Links"), this)),
      scanView(MakeReportView(this)),
      remainingView(MakeReportView(this)),
      scanModel(new RowTableModel(
          {QStringLiteral("Title"), QStringLiteral("Scanned URL"), QStringLiteral("Result")},
          this)),
      remainingModel(new RowTableModel({QStringLiteral("Remaining URL"), QStringLiteral("Depth"),
                                        QStringLiteral("Max Depth"), QStringLiteral("Width")},
                                       this)) {
    scanView->setModel(scanModel);
    remainingView->setModel(remainingModel);
    SizeReportColumns(scanView, kScanChars);
    SizeReportColumns(remainingView, kRemainingChars);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Search:"), this));
    top->addWidget(searchEdit, 1);
    for (QPushButton* button : {startButton, stopButton, clearButton, advancedButton, seButton}) {
        top->addWidget(button);
    }
    advanced_ = BuildAdvancedControls();
    advanced_->hide();

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(deleteButton, 1);
    bottom->addWidget(toLinksButton, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(advanced_);
    layout->addWidget(scanView, 1);
    layout->addWidget(remainingView, 1);
    layout->addLayout(bottom);
    ConnectCommands();
}

CTabPg2::~CTabPg2() = default;

QLineEdit* CTabPg2::NumericEdit() {
    auto* edit = new QLineEdit(this);
    // Number boxes take digits only, as the original number-only edits did.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaximumWidth(70);
    return edit;
}

QWidget* CTabPg2::BuildAdvancedControls() {
    auto* panel = new QWidget(this);
    auto check = [panel](const char* text) {
        return new QCheckBox(QString::fromLatin1(text), panel);
    };
    auto label = [panel](const char* text) { return new QLabel(QString::fromLatin1(text), panel); };

    repeatCheck = check("Repeat first URL every:");
    repeatEdit = NumericEdit();
    stopOnMatchCheck = check("Stop on Match");
    maxDepthCheck = check("Max Depth:");
    maxDepthEdit = NumericEdit();
    widthDepthCheck = check("Width Depth:");
    widthDepthEdit = NumericEdit();
    maxConnectionsCheck = check("Max Connections:");
    maxConnectionsEdit = NumericEdit();
    defaultWidthCheck = check("Default Width:");
    defaultWidthEdit = NumericEdit();
    itemIncludeCheck = check("Item Include");
    describeCheck = check("Describe: f");
    describeForwardEdit = NumericEdit();
    describeBackwardEdit = NumericEdit();
    engineTimingGroup = new QGroupBox(QStringLiteral("Engine Timing"), panel);
    engineTimingCheck = new QCheckBox(engineTimingGroup);
    engineRevsEdit = NumericEdit();
    engineDampEdit = NumericEdit();
    noRemoveCheck = check("No Remove");
    maxRemainingCheck = check("Max Remaining:");
    maxRemainingEdit = NumericEdit();
    excludeUrlCheck = check("Exclude URL");
    includeUrlCheck = check("Include URL");

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(label("Target: $"), 0, 0);
    grid->addWidget(targetEdit, 0, 1);
    targetEdit->setParent(panel);
    grid->addWidget(label("Include:"), 0, 2);
    grid->addWidget(includeEdit, 0, 3, 1, 2);
    includeEdit->setParent(panel);
    grid->addWidget(label("Exclude:"), 0, 5);
    grid->addWidget(excludeEdit, 0, 6, 1, 2);
    excludeEdit->setParent(panel);

    auto addPair = [grid, panel](int row, int column, QCheckBox* box, QLineEdit* edit) {
        grid->addWidget(box, row, column);
        edit->setParent(panel);
        grid->addWidget(edit, row, column + 1);
    };
    addPair(1, 0, maxDepthCheck, maxDepthEdit);
    addPair(1, 2, widthDepthCheck, widthDepthEdit);
    addPair(1, 4, maxConnectionsCheck, maxConnectionsEdit);
    addPair(1, 6, defaultWidthCheck, defaultWidthEdit);
    addPair(2, 0, repeatCheck, repeatEdit);
    grid->addWidget(label("s"), 2, 2);
    addPair(2, 4, maxRemainingCheck, maxRemainingEdit);
    grid->addWidget(stopOnMatchCheck, 2, 6);
    grid->addWidget(itemIncludeCheck, 2, 7);

    auto* describe = new QHBoxLayout;
    describe->addWidget(describeCheck);
    describeForwardEdit->setParent(panel);
    describe->addWidget(describeForwardEdit);
    describe->addWidget(label(", r"));
    describeBackwardEdit->setParent(panel);
    describe->addWidget(describeBackwardEdit);
    describe->addStretch(1);
    grid->addLayout(describe, 3, 0, 1, 4);
    grid->addWidget(noRemoveCheck, 3, 4);
    grid->addWidget(excludeUrlCheck, 3, 6);
    grid->addWidget(includeUrlCheck, 3, 7);

    auto* timing = new QHBoxLayout(engineTimingGroup);
    timing->addWidget(engineTimingCheck);
    timing->addWidget(new QLabel(QStringLiteral("revs:"), engineTimingGroup));
    engineRevsEdit->setParent(engineTimingGroup);
    timing->addWidget(engineRevsEdit);
    timing->addWidget(new QLabel(QStringLiteral("msec"), engineTimingGroup));
    timing->addWidget(new QLabel(QStringLiteral("damp:"), engineTimingGroup));
    engineDampEdit->setParent(engineTimingGroup);
    timing->addWidget(engineDampEdit);
    timing->addWidget(new QLabel(QStringLiteral("msec"), engineTimingGroup));
    timing->addStretch(1);
    grid->addWidget(engineTimingGroup, 4, 0, 1, 8);
    return panel;
}

void CTabPg2::ConnectCommands() {
    connect(startButton, &QPushButton::clicked, this, &CTabPg2::OnStart);
    connect(stopButton, &QPushButton::clicked, this, &CTabPg2::OnStop);
    connect(clearButton, &QPushButton::clicked, this, &CTabPg2::OnClear);
    connect(deleteButton, &QPushButton::clicked, this, &CTabPg2::OnDelete);
    connect(toLinksButton, &QPushButton::clicked, this, &CTabPg2::OnToLinks);
    connect(advancedButton, &QPushButton::clicked, this, &CTabPg2::OnAdvanced);
    connect(seButton, &QPushButton::clicked, this, &CTabPg2::OnSE);
}

void CTabPg2::OnAdvanced() {
    advancedShown_ = !advancedShown_;
    advanced_->setVisible(advancedShown_);
}

void CTabPg2::OnStart() {}
void CTabPg2::OnStop() {}
void CTabPg2::OnClear() {}
void CTabPg2::OnDelete() {}
void CTabPg2::OnToLinks() {}
void CTabPg2::OnSE() {}
void CTabPg2::Shutdown() {}

}  // namespace qx
