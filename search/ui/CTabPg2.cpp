#include "search/ui/CTabPg2.h"

#include <algorithm>

#include <QApplication>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <atomic>

#include "search/ui/FailureReasons.h"
#include "search/ui/MatchRowsModel.h"
#include "search/ui/SearchPageLayout.h"
#include "ui/FittingScrollArea.h"
#include "ui/FlowLayout.h"
#include "ui/ListViews.h"
#include "ui/MessageBox.h"

namespace qx {

namespace {

const std::initializer_list<int> kScanChars = {30, 30, 100};
const std::initializer_list<int> kRemainingChars = {50, 15, 15, 15};

// The advanced controls: box widths in digits, and the gaps in pixels.
constexpr int kNumberChars = 5;
constexpr int kWordsChars = 16;
constexpr int kTextBoxPadding = 12;
constexpr int kInGroupSpacing = 4;
constexpr int kBetweenGroupsSpacing = 14;
constexpr int kLineSpacing = 4;

// Closing the window must end the program within two seconds even while
// transfers hang, so the session waits for its threads only this long.
constexpr std::chrono::milliseconds kShutdownWait{1200};
// How long one pass of the message pump may keep the thread, and how long it
// waits for a further message before going back to the event loop.
constexpr std::chrono::milliseconds kPumpSlice{8};
constexpr std::chrono::microseconds kNextMessageWait{150};

std::atomic<bool> searchEverStarted{false};

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

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
      scanModel(new SourceRowTableModel(
          {QStringLiteral("Title"), QStringLiteral("Scanned URL"), QStringLiteral("Result")},
          [this](std::size_t row) { return SessionRow(SessionList::kScan, row); }, this)),
      remainingModel(new SourceRowTableModel(
          {QStringLiteral("Remaining URL"), QStringLiteral("Depth"), QStringLiteral("Max Depth"),
           QStringLiteral("Width")},
          [this](std::size_t row) { return SessionRow(SessionList::kRemaining, row); }, this)),
      resultsModel(
          NewMatchRowsModel([this] { return session_ ? &session_->MatchRows() : nullptr; }, this)),
      matchNotifier_(new MatchNotifier(this)) {
    scanModel->SetRowTexts([this](std::size_t index, const auto& cell) {
        if (session_ && index < session_->ScanRows().size()) {
            const ScanRow& row = session_->ScanRows()[index];
            for (const std::string* text : {&row.title, &row.url, &row.result}) {
                cell(*text);
            }
        }
    });
    remainingModel->SetRowTexts([this](std::size_t index, const auto& cell) {
        if (session_ && index < session_->Remaining().Size()) {
            const RemainingRow row = session_->Remaining().At(index);
            for (const std::string* text : {&row.url, &row.depth, &row.maxDepth, &row.width}) {
                cell(*text);
            }
        }
    });
    scanView->setModel(scanModel);
    remainingView->setModel(remainingModel);
    new FailureReasons(
        scanView, scanModel,
        [this](std::size_t row) {
            const auto rows = session_->LockRows();
            return row < session_->ScanRows().size() ? session_->ScanRows()[row].reason : "";
        },
        [this](const QString& text) { SetStatusText(0, text.toStdString()); });
    SizeReportColumns(scanView, kScanChars);
    SizeReportColumns(remainingView, kRemainingChars);

    advanced_ = new FittingScrollArea(BuildAdvancedControls(), this);
    advanced_->hide();
    SearchPageLayout::Build(*this, advanced_);
    ConnectCommands();
    ConnectPopup(scanView);
    ConnectPopup(remainingView);

    pumpTarget_ = std::make_shared<PumpTarget>();
    pumpTarget_->page = this;
    session_ = std::make_unique<SearchSession>(static_cast<SearchSessionView&>(*this));
    session_->SetShutdownWait(kShutdownWait);
    ShareRowsWithHandlers();
    // Called on engine and worker threads: only posts a call to this thread,
    // where the waiting sends are handled while the senders block.
    session_->SetNotifier([target = pumpTarget_] {
        std::lock_guard<std::mutex> lock(target->lock);
        if (target->page != nullptr && !target->posted) {
            target->posted = true;
            QMetaObject::invokeMethod(
                target->page, [page = target->page] { page->PumpQueue(); }, Qt::QueuedConnection);
        }
    });
}

CTabPg2::~CTabPg2() {
    {
        std::lock_guard<std::mutex> lock(pumpTarget_->lock);
        pumpTarget_->page = nullptr;
    }
    session_->Shutdown();
    while (waitCursors_ > 0) {
        SetWaitCursor(false);
    }
}

bool CTabPg2::SearchEverStarted() {
    return searchEverStarted.load();
}

void CTabPg2::PumpQueue() {
    // A worker following a page's links sends one message after another,
    // each after the last was handled. Waiting a moment for the next one here
    // costs far less than a trip through the event loop for each, and the
    // slice is short enough to keep painting and input going.
    {
        // Sends arriving from now on may need another call.
        std::lock_guard<std::mutex> lock(pumpTarget_->lock);
        pumpTarget_->posted = false;
    }
    const auto sliceEnd = SearchSession::Clock::now() + kPumpSlice;
    session_->PumpMessages(sliceEnd);
    while (SearchSession::Clock::now() < sliceEnd &&
           session_->WaitAndPumpMessages(kNextMessageWait, sliceEnd) > 0) {
    }
}

QLineEdit* CTabPg2::NumericEdit() {
    auto* edit = new QLineEdit(this);
    // Number boxes take digits only, as the original number-only edits did.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setFixedWidth(TextBoxWidth(edit, kNumberChars));
    return edit;
}

int CTabPg2::TextBoxWidth(const QLineEdit* edit, int characters) {
    return edit->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0'))) +
           kTextBoxPadding;
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
    for (QLineEdit* words : {includeEdit, excludeEdit}) {
        words->setFixedWidth(TextBoxWidth(words, kWordsChars));
    }

    // Each label travels with its box: the flow wraps between the groups
    // only, so nothing is cut at a narrow window and nothing drifts apart at
    // a wide one.
    auto group = [panel](std::initializer_list<QWidget*> widgets) {
        auto* box = new QWidget(panel);
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(kInGroupSpacing);
        for (QWidget* widget : widgets) {
            widget->setParent(box);
            row->addWidget(widget);
        }
        return box;
    };
    auto* timing = new QHBoxLayout(engineTimingGroup);
    timing->setContentsMargins(kInGroupSpacing, 0, kInGroupSpacing, kInGroupSpacing);
    timing->setSpacing(kInGroupSpacing);
    auto addTiming = [timing, this](QWidget* widget) {
        widget->setParent(engineTimingGroup);
        timing->addWidget(widget);
    };
    addTiming(engineTimingCheck);
    addTiming(label("revs:"));
    addTiming(engineRevsEdit);
    addTiming(label("msec"));
    timing->addSpacing(kBetweenGroupsSpacing);
    addTiming(label("damp:"));
    addTiming(engineDampEdit);
    addTiming(label("msec"));

    auto* flow = new FlowLayout(panel, kBetweenGroupsSpacing, kLineSpacing);
    flow->setContentsMargins(0, 0, 0, 0);
    const std::initializer_list<QWidget*> lines[] = {
        {group({label("Target: $"), targetEdit}), group({label("Include:"), includeEdit}),
         group({label("Exclude:"), excludeEdit})},
        {group({maxDepthCheck, maxDepthEdit}), group({widthDepthCheck, widthDepthEdit}),
         group({maxConnectionsCheck, maxConnectionsEdit}),
         group({defaultWidthCheck, defaultWidthEdit})},
        {group({repeatCheck, repeatEdit, label("s")}), group({maxRemainingCheck, maxRemainingEdit}),
         stopOnMatchCheck, itemIncludeCheck},
        {group({describeCheck, describeForwardEdit, label(", r"), describeBackwardEdit}),
         noRemoveCheck, excludeUrlCheck, includeUrlCheck},
        {engineTimingGroup},
    };
    for (const auto& line : lines) {
        flow->AddLineBreak();
        for (QWidget* item : line) {
            flow->addWidget(item);
        }
    }
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

SearchControls CTabPg2::ReadControls() const {
    auto text = [](const QLineEdit* edit) { return edit->text().toStdString(); };
    SearchControls c;
    c.search = text(searchEdit);
    c.target = text(targetEdit);
    c.include = text(includeEdit);
    c.exclude = text(excludeEdit);
    c.repeatOn = repeatCheck->isChecked();
    c.repeatSeconds = text(repeatEdit);
    c.stopOnMatch = stopOnMatchCheck->isChecked();
    c.maxDepthOn = maxDepthCheck->isChecked();
    c.maxDepth = text(maxDepthEdit);
    c.widthDepthOn = widthDepthCheck->isChecked();
    c.widthDepth = text(widthDepthEdit);
    c.maxConnectionsOn = maxConnectionsCheck->isChecked();
    c.maxConnections = text(maxConnectionsEdit);
    c.defaultWidthOn = defaultWidthCheck->isChecked();
    c.defaultWidth = text(defaultWidthEdit);
    c.itemInclude = itemIncludeCheck->isChecked();
    c.describeOn = describeCheck->isChecked();
    c.describeForward = text(describeForwardEdit);
    c.describeBackward = text(describeBackwardEdit);
    c.engineTimingOn = engineTimingCheck->isChecked();
    c.engineRevs = text(engineRevsEdit);
    c.engineDamp = text(engineDampEdit);
    c.noRemove = noRemoveCheck->isChecked();
    c.maxRemainingOn = maxRemainingCheck->isChecked();
    c.maxRemaining = text(maxRemainingEdit);
    c.excludeUrl = excludeUrlCheck->isChecked();
    c.includeUrl = includeUrlCheck->isChecked();
    return c;
}

void CTabPg2::OnStart() {
    // Rows still waiting for their batch must be in the store's order when
    // Start rewrites the Remaining rows.
    remainingModel->FlushPending();
    if (session_->Start(ReadControls())) {
        searchEverStarted = true;
    }
}

void CTabPg2::OnStop() {
    session_->Stop();
}

void CTabPg2::OnClear() {
    session_->Clear();
}

void CTabPg2::OnDelete() {
    // The selection names a shown row: no handler may move the rows until
    // it is the session's row of the same number.
    const auto rows = session_->LockRows();
    remainingModel->FlushPending();
    const int row = SelectedRow(remainingView);
    if (!session_->Delete(row)) {
        return;
    }
    remainingModel->FlushPending();  // the row leaves the view before the new selection
    if (row < remainingModel->rowCount()) {
        remainingView->selectRow(row);
    }
}

void CTabPg2::OnToLinks() {
    std::unique_lock rows = session_->LockRows();
    remainingModel->FlushPending();
    const std::optional<std::string> url = session_->ToLinks(SelectedRow(remainingView));
    rows.unlock();
    if (!url) {
        return;
    }
    lastToLinks_ = FromStd(*url);
    emit OfferedToLinks(lastToLinks_);
}

void CTabPg2::OnSE() {
    emit EngineQueriesRequested(searchEdit->text());
}

bool CTabPg2::SearchRunning() const {
    return session_->running();
}

void CTabPg2::ShowSearchPage() {
    ActivatePage(kPageIndex);
}

void CTabPg2::InsertRemainingRow(int index, const RemainingRow& row) {
    session_->InsertRemaining(static_cast<std::size_t>(std::max(index, 0)), row);
}

void CTabPg2::Shutdown() {
    session_->Shutdown();
}

// --- the session's view ------------------------------------------------------

void CTabPg2::ShowMessage(const std::string& text, MessageKind kind) {
    QxMessageBox(FromStd(text), QMessageBox::Ok,
                 kind == MessageKind::kExclamation ? QxIcon::Exclamation : QxIcon::None);
}

DialogAnswer CTabPg2::AskYesNoCancel(const std::string& text) {
    const int answer =
        QxMessageBox(FromStd(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                     QxIcon::Question, QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        return DialogAnswer::kYes;
    }
    return answer == QMessageBox::Cancel ? DialogAnswer::kCancel : DialogAnswer::kNo;
}

void CTabPg2::SetStatusText(int pane, const std::string& text) {
    if (!PostedStatus(pane, text)) {
        emit StatusTextChanged(pane, FromStd(text));
    }
}

void CTabPg2::SetRunningIcon(bool running) {
    emit RunningChanged(running);
}

void CTabPg2::SetResultCountText(const std::string& text) {
    if (!PostedCountText(text)) {
        emit MatchCountChanged(FromStd(text));
    }
}

void CTabPg2::ActivatePage(int index) {
    emit PageRequested(index);
}

void CTabPg2::SetWaitCursor(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++waitCursors_;
    } else if (waitCursors_ > 0) {
        QApplication::restoreOverrideCursor();
        --waitCursors_;
    }
}

void CTabPg2::AlertNewMatch(const std::string& title, const std::string& url,
                            const std::string& description) {
    if (!PostedAlert(title, url, description)) {
        matchNotifier_->Offer(FromStd(title), FromStd(url), FromStd(description));
    }
}

SourceRowTableModel* CTabPg2::SessionModelOf(SessionList list) const {
    switch (list) {
        case SessionList::kScan:
            return scanModel;
        case SessionList::kRemaining:
            return remainingModel;
        case SessionList::kResults:
            return resultsModel;
    }
    return nullptr;
}

std::size_t CTabPg2::SessionRowCount(SessionList list) const {
    switch (list) {
        case SessionList::kScan:
            return session_->ScanRows().size();
        case SessionList::kRemaining:
            return session_->Remaining().Size();
        case SessionList::kResults:
            return session_->MatchRows().size();
    }
    return 0;
}

QStringList CTabPg2::SessionRow(SessionList list, std::size_t index) const {
    if (!session_ || index >= SessionRowCount(list)) {
        return {};
    }
    switch (list) {
        case SessionList::kScan: {
            const ScanRow& row = session_->ScanRows()[index];
            return {FromStd(row.title), FromStd(row.url), FromStd(row.result)};
        }
        case SessionList::kRemaining: {
            const RemainingRow row = session_->Remaining().At(index);
            return {FromStd(row.url), FromStd(row.depth), FromStd(row.maxDepth),
                    FromStd(row.width)};
        }
        case SessionList::kResults:
            break;  // its model reads the matches itself
    }
    return {};
}

// Every list reads the session's rows: its model is told what changed.
void CTabPg2::RowAppended(SessionList list, std::size_t index) {
    if (SourceRowTableModel* listModel = SessionModelOf(list)) {
        listModel->RowAppended(index);  // a row out of step makes its batch a reset
    }
}

void CTabPg2::RowInserted(SessionList list, std::size_t index) {
    if (SourceRowTableModel* listModel = SessionModelOf(list)) {
        listModel->RowInserted(static_cast<int>(index));
    }
}

void CTabPg2::RowRemoving(SessionList list, std::size_t index) {
    if (SourceRowTableModel* listModel = SessionModelOf(list)) {
        listModel->RowRemoving(static_cast<int>(index));
    }
}

void CTabPg2::RowRemoved(SessionList list, std::size_t index) {
    // Every model was told before the row went.
    (void)list;
    (void)index;
}

void CTabPg2::RowsReset(SessionList list) {
    if (SourceRowTableModel* listModel = SessionModelOf(list)) {
        listModel->Reset(SessionRowCount(list));
    }
}

}  // namespace qx
