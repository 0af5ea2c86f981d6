#include "links/ui/CToolBarCtrlPage.h"

#include <algorithm>
#include <optional>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPushButton>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/CMainWindow.h"
#include "links/EnginesFile.h"
#include "links/LinkFile.h"
#include "links/ui/CListEditView.h"
#include "links/ui/LinksFileDialog.h"
#include "links/ui/LinksMessage.h"
#include "ui/CStatusPanes.h"
#include "ui/RemainingRowsTarget.h"
#include "ui/UserSettings.h"

namespace qx {

namespace {

// Shows the wait cursor while a command reads or writes a whole list.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString FromBytes(const std::string& text) {
    return QString::fromUtf8(text);
}
std::string ToBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

// Link files and the engines file are 8-bit text. A line in UTF-8 is shown as
// such (a byte order mark included); any other line is shown byte for byte as
// Latin-1 and written back so: Load then Save gives back every byte.
std::optional<QString> FromUtf8(const std::string& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

ListEditModel::Row RowFromLine(std::string& line) {
    const LinkLine fields = LinkFile::ParseLine(line);
    const std::string* parts[] = {&fields.url, &fields.depth, &fields.width};
    ListEditModel::Row row;
    for (const std::string* part : parts) {
        std::optional<QString> text = FromUtf8(*part);
        if (!text) {
            row.latin1 = true;
            break;
        }
        row.texts.append(*text);
    }
    if (row.latin1) {
        row.texts.clear();
        for (const std::string* part : parts)
            row.texts.append(
                QString::fromLatin1(part->data(), static_cast<qsizetype>(part->size())));
    }
    return row;
}

// A row as a file line's fields: as Latin-1 bytes when it came so and its
// texts (edited since, perhaps) still fit, else as UTF-8.
LinkLine LineFromRow(const CListEditView& list, int row) {
    const QString texts[] = {list.GetItemText(row, CToolBarCtrlPage::kUrlColumn),
                             list.GetItemText(row, CToolBarCtrlPage::kDepthColumn),
                             list.GetItemText(row, CToolBarCtrlPage::kWidthColumn)};
    const bool latin1 =
        list.Model()->IsLatin1(row) &&
        std::all_of(std::begin(texts), std::end(texts), [](const QString& t) {
            return std::all_of(t.begin(), t.end(), [](QChar c) { return c.unicode() <= 0xFF; });
        });
    auto bytes = [latin1](const QString& text) {
        return latin1 ? text.toLatin1().toStdString() : ToBytes(text);
    };
    return LinkLine{bytes(texts[0]), bytes(texts[1]), bytes(texts[2])};
}

struct ButtonSpec {
    int command;
    const char* label;
    QStyle::StandardPixmap icon;
    bool separatorAfter;
};

constexpr ButtonSpec kButtons[] = {
    {CToolBarCtrlPage::kInsert, "Insert", QStyle::SP_FileIcon, false},
    {CToolBarCtrlPage::kDelete, "Delete", QStyle::SP_TrashIcon, true},
    {CToolBarCtrlPage::kSelectAll, "Select All", QStyle::SP_DialogApplyButton, false},
    {CToolBarCtrlPage::kClearAll, "Clear All", QStyle::SP_DialogResetButton, true},
    {CToolBarCtrlPage::kLoad, "Load", QStyle::SP_DialogOpenButton, false},
    {CToolBarCtrlPage::kSave, "Save", QStyle::SP_DialogSaveButton, true},
    {CToolBarCtrlPage::kEngines, "Engines", QStyle::SP_FileDialogContentsView, false},
};

struct ColumnSpec {
    const char* header;
    int characters;
};

constexpr ColumnSpec kColumns[] = {{"URL", 50}, {"Depth", 15}, {"Width", 15}};

}  // namespace

CToolBarCtrlPage::CToolBarCtrlPage(QWidget* parent)
    : CPropertyPage(parent),
      toolBar_(new QToolBar(this)),
      list_(new CListEditView(this)),
      toSearch_(new QPushButton(QStringLiteral("To Search"), this)) {
    BuildToolBar();
    list_->SetHighlightType(CListEditView::kHighlightRow);
    BuildColumns();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(toolBar_);
    layout->addWidget(list_, 1);
    layout->addWidget(toSearch_);
    connect(toSearch_, &QPushButton::clicked, this, &CToolBarCtrlPage::OnToSearch);
}

CToolBarCtrlPage::~CToolBarCtrlPage() = default;

void CToolBarCtrlPage::BuildToolBar() {
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    void (CToolBarCtrlPage::*const handlers[])() = {
        &CToolBarCtrlPage::OnInsert,   &CToolBarCtrlPage::OnDelete, &CToolBarCtrlPage::OnSelectAll,
        &CToolBarCtrlPage::OnClearAll, &CToolBarCtrlPage::OnLoad,   &CToolBarCtrlPage::OnSave,
        &CToolBarCtrlPage::OnEngines};
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonSpec& entry = kButtons[i];
        QAction* action = toolBar_->addAction(style()->standardIcon(entry.icon),
                                              QString::fromLatin1(entry.label));
        action->setData(entry.command);
        // The labels are on the buttons already.
        action->setToolTip(QString());
        connect(action, &QAction::triggered, this, handlers[i]);
        commands_.push_back(action);
        if (entry.separatorAfter)
            toolBar_->addSeparator();
    }
}

void CToolBarCtrlPage::BuildColumns() {
    list_->DeleteAllItems();
    list_->DeleteAllColumns();
    const int charWidth = QFontMetrics(font()).averageCharWidth();
    int column = 0;
    for (const ColumnSpec& entry : kColumns) {
        list_->InsertColumn(column++, QString::fromLatin1(entry.header),
                            (entry.characters + 2) * charWidth);
    }
}

QAction* CToolBarCtrlPage::CommandAction(int command) const {
    for (QAction* action : commands_) {
        if (action->data().toInt() == command)
            return action;
    }
    return nullptr;
}

void CToolBarCtrlPage::OnInsert() {
    const int mark = list_->GetSelectionMark();
    const int row = list_->InsertItem(mark < 0 ? 0 : mark + 1, QString());
    list_->SetStateImage(row, ListEditModel::kUnchecked);
    list_->SetItemFocused(row);
    list_->SetSelectionMark(row);
}

void CToolBarCtrlPage::OnDelete() {
    const int mark = list_->GetSelectionMark();
    if (mark < 0) {
        LinksMessage::Show(QString::fromLatin1(LinksMessage::kNoItemSelected));
        return;
    }
    list_->DeleteItem(mark);
    // The mark stays on the row that followed, so Delete removes rows in a
    // run; after the last row there is none left to remove.
    list_->SetSelectionMark(mark);
    list_->SetItemFocused(mark);
}

void CToolBarCtrlPage::OnSelectAll() {
    list_->Model()->SetAllStateImages(ListEditModel::kChecked);
}

void CToolBarCtrlPage::OnClearAll() {
    list_->Model()->SetAllStateImages(ListEditModel::kUnchecked);
}

void CToolBarCtrlPage::InsertLinkLine(std::string& line) {
    std::vector<std::string> lines{std::move(line)};
    InsertLinkLines(lines);
    line = std::move(lines.front());
}

void CToolBarCtrlPage::InsertLinkLines(std::vector<std::string>& lines) {
    if (lines.empty())
        return;
    std::vector<ListEditModel::Row> rows;
    rows.reserve(lines.size());
    for (std::string& line : lines)
        rows.push_back(RowFromLine(line));
    const int mark = list_->GetSelectionMark();
    const int first =
        list_->Model()->InsertRows(mark < 0 ? list_->GetItemCount() : mark + 1, std::move(rows));
    list_->SetSelectionMark(first + static_cast<int>(lines.size()) - 1);
}

void CToolBarCtrlPage::OnLoad() {
    const QString path = LinksFileDialog::Ask(LinksFileDialog::Kind::Open);
    if (path.isEmpty())
        return;
    std::optional<std::vector<std::string>> lines = LinkFile::ReadLines(ToBytes(path));
    if (!lines) {
        LinksMessage::Show(QString::fromLatin1(LinksMessage::kFailedToOpen));
        return;
    }
    WaitCursor wait;
    InsertLinkLines(*lines);
    OnClearAll();
}

void CToolBarCtrlPage::OnSave() {
    const QString path = LinksFileDialog::Ask(LinksFileDialog::Kind::Save);
    if (path.isEmpty())
        return;
    WaitCursor wait;
    std::vector<LinkLine> rows;
    rows.reserve(static_cast<size_t>(list_->GetItemCount()));
    for (int row = 0; row < list_->GetItemCount(); ++row)
        rows.push_back(LineFromRow(*list_, row));
    const std::string content = LinkFile::Serialize(rows);
    // The old file stays whole until the new one is complete.
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.write(content.data(), static_cast<qint64>(content.size())) ==
                           static_cast<qint64>(content.size()) &&
                       file.commit();
    if (!saved)
        LinksMessage::Show(QString::fromLatin1(LinksMessage::kFailedToCreate));
}

QStringList CToolBarCtrlPage::EnginesFileCandidates() {
    // The program folder's file, or without one the current directory's.
    const QString path = FromBytes(EnginesFile::Location(ToBytes(ProgramFolder())));
    return {QDir::cleanPath(QDir::current().absoluteFilePath(path))};
}

QString CToolBarCtrlPage::EnginesFilePath() {
    const QStringList candidates = EnginesFileCandidates();
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path))
            return path;
    }
    return candidates.front();
}

void CToolBarCtrlPage::OnEngines() {
    std::optional<std::vector<std::string>> lines = EnginesFile::Read(ToBytes(EnginesFilePath()));
    if (!lines) {
        // The box's text is fixed; the status bar says where we looked.
        if (Owner() != nullptr) {
            const QStringList tried = QFileInfo::exists(EnginesFilePath())
                                          ? QStringList{EnginesFilePath()}
                                          : EnginesFileCandidates();
            Owner()->StatusBar()->SetPaneText(
                0, QStringLiteral("Failed to open %1").arg(tried.join(QStringLiteral(", "))));
        }
        LinksMessage::Show(QString::fromLatin1(LinksMessage::kFailedToOpen));
        return;
    }
    WaitCursor wait;
    InsertLinkLines(*lines);
    OnClearAll();
}

bool CToolBarCtrlPage::RefuseWhileSearching() const {
    if (!target_ || !target_->SearchRunning())
        return false;
    LinksMessage::Show(QString::fromLatin1(LinksMessage::kSearchRunning));
    return true;
}

void CToolBarCtrlPage::OnToSearch() {
    if (!target_ || RefuseWhileSearching())
        return;
    WaitCursor wait;
    target_->ShowSearchPage();
    HandOverCheckedRows(nullptr);
}

void CToolBarCtrlPage::SendEngineQueries(const QString& searchItem) {
    if (!target_ || RefuseWhileSearching())
        return;
    if (searchItem.isEmpty()) {
        LinksMessage::Show(QString::fromLatin1(LinksMessage::kNoSearchItem));
        return;
    }
    WaitCursor wait;
    if (list_->GetItemCount() == 0)
        LinksMessage::Show(QString::fromLatin1(LinksMessage::kNoEngines));
    const std::string words = EnginesFile::QueryWords(ToBytes(searchItem));
    HandOverCheckedRows(&words);
}

void CToolBarCtrlPage::HandOverCheckedRows(const std::string* queryWords) {
    auto limit = [](const QString& text) {
        return text.isEmpty() ? std::string(kNoLimit) : ToBytes(text);
    };
    int n = 0;
    for (int row = 0; row < list_->GetItemCount(); ++row) {
        const QString url = list_->GetItemText(row, kUrlColumn);
        if (!list_->IsChecked(row) || url.isEmpty())
            continue;
        RemainingRow start;
        start.url = queryWords ? EnginesFile::QueryUrl(ToBytes(url), *queryWords) : ToBytes(url);
        start.maxDepth = limit(list_->GetItemText(row, kDepthColumn));
        start.width = limit(list_->GetItemText(row, kWidthColumn));
        target_->InsertRemainingRow(n++, start);
    }
}

}  // namespace qx
