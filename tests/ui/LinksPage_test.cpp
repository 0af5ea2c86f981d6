#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <string>
#include <vector>

#include "links/ui/CListEditView.h"
#include "links/ui/CToolBarCtrlPage.h"
#include "links/ui/LinksFileDialog.h"
#include "ui/MessageBox.h"
#include "ui/RemainingRowsTarget.h"
#include "ui/UserSettings.h"

using qx::CListEditView;
using qx::CToolBarCtrlPage;
using qx::LinksFileDialog;
using qx::ListEditModel;
using qx::RemainingRow;

namespace {

// The search page's Remaining list as the links page fills it.
class FakeSearchPage : public qx::RemainingRowsTarget {
public:
    bool running = false;
    int shown = 0;
    std::vector<RemainingRow> rows;

    bool SearchRunning() const override { return running; }
    void ShowSearchPage() override { ++shown; }
    void InsertRemainingRow(int index, const RemainingRow& row) override {
        rows.insert(rows.begin() + index, row);
    }
};

struct Row {
    QString url, depth, width;
    int state;
};

void Fill(CListEditView* list, const std::vector<Row>& rows) {
    list->DeleteAllItems();
    for (const Row& r : rows) {
        const int at = list->InsertItem(list->GetItemCount(), r.url);
        list->SetItemText(at, 1, r.depth);
        list->SetItemText(at, 2, r.width);
        list->SetStateImage(at, r.state);
    }
}

QStringList Urls(const CListEditView* list) {
    QStringList urls;
    for (int row = 0; row < list->GetItemCount(); ++row)
        urls << list->GetItemText(row, 0);
    return urls;
}

QString RowText(const CListEditView* list, int row) {
    return list->GetItemText(row, 0) + "|" + list->GetItemText(row, 1) + "|" +
           list->GetItemText(row, 2);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

constexpr int U = ListEditModel::kUnchecked;
constexpr int C = ListEditModel::kChecked;

const QByteArray kEngines =
    "http://one.com/?q=|search -1 -1\r\nhttp://two.com/s?p=|search&n=1 -1 -1\r\n";

}  // namespace

class LinksPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolbarHasTheCommandsInOrder();
    void columns();
    void insertFollowsTheSelectionMark();
    void deleteWalksDownTheList();
    void deleteWithoutMarkSaysSo();

    void toSearchHandsOverCheckedRows_data();
    void toSearchHandsOverCheckedRows();
    void toSearchTwiceGivesTwice();
    void toSearchWhileSearchingIsRefused();

    void enginesLoadAfterTheMarkAllUnchecked();
    void enginesTwiceListsTwice();
    void enginesInCurrentDirectoryWithoutPath();
    void enginesInFolderRecordedByInstall();
    void enginesFileMissing();

    void engineQueries_data();
    void engineQueries();
    void engineQueriesRefusals_data();
    void engineQueriesRefusals();

    void saveAndLoadRoundTrip();
    void eightBitLinesComeBackByteForByte();
    void emptyLineLoadsAsEmptyRowThatSaveSkips();
    void saveReplacesLongerFile();
    void saveFailureLeavesNothing();
    void loadFailureAndCancel();
    void loadBadFiles_data();
    void loadBadFiles();

private:
    std::unique_ptr<CToolBarCtrlPage> page_;
    FakeSearchPage search_;
    QStringList messages_;
    QString dialogPath_;
    QTemporaryDir dir_;
    QTemporaryDir config_;
};

void LinksPageTest::initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY(config_.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config_.path());
    qx::SetQxMessageBoxHook([this](const qx::QxMessage& message) {
        messages_ << message.text;
        return int(QMessageBox::Ok);
    });
    LinksFileDialog::SetHook([this](LinksFileDialog::Kind) { return dialogPath_; });
}

void LinksPageTest::init() {
    page_ = std::make_unique<CToolBarCtrlPage>();
    page_->SetRemainingTarget(&search_);
    page_->resize(700, 400);
    page_->show();
    search_ = FakeSearchPage();
    messages_.clear();
    dialogPath_.clear();
    qx::OpenUserSettings()->setValue("Main/Path", dir_.path());
    WriteFile(dir_.filePath("engines.qeg"), kEngines);
}

void LinksPageTest::cleanup() {
    page_.reset();
}

void LinksPageTest::toolbarHasTheCommandsInOrder() {
    QStringList labels;
    for (QAction* action : page_->ToolBar()->actions())
        labels << (action->isSeparator() ? "|" : action->text());
    QCOMPARE(labels, QStringList({"Insert", "Delete", "|", "Select All", "Clear All", "|", "Load",
                                  "Save", "|", "Engines"}));
    for (int command = CToolBarCtrlPage::kInsert; command <= CToolBarCtrlPage::kEngines;
         ++command) {
        QAction* action = page_->CommandAction(command);
        QVERIFY(action);
        QVERIFY(action->isEnabled());
        QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
    }
    QCOMPARE(page_->ToSearchButton()->text(), QString("To Search"));
}

void LinksPageTest::columns() {
    CListEditView* list = page_->List();
    QCOMPARE(list->Model()->columnCount(), 3);
    QCOMPARE(list->Model()->headerData(0, Qt::Horizontal).toString(), QString("URL"));
    QCOMPARE(list->Model()->headerData(1, Qt::Horizontal).toString(), QString("Depth"));
    QCOMPARE(list->Model()->headerData(2, Qt::Horizontal).toString(), QString("Width"));
    QVERIFY(list->columnWidth(0) > 3 * list->columnWidth(1));
    QCOMPARE(list->GetHighlightType(), CListEditView::kHighlightRow);
}

void LinksPageTest::insertFollowsTheSelectionMark() {
    CListEditView* list = page_->List();
    page_->OnInsert();
    QCOMPARE(list->GetItemCount(), 1);
    QCOMPARE(list->GetSelectionMark(), 0);
    list->SetItemText(0, 0, "first");
    page_->CommandAction(CToolBarCtrlPage::kInsert)->trigger();
    QCOMPARE(list->GetItemCount(), 2);
    QCOMPARE(list->GetSelectionMark(), 1);
    QCOMPARE(Urls(list), QStringList({"first", ""}));
    QCOMPARE(list->GetStateImage(1), U);
    QCOMPARE(list->currentIndex().row(), 1);

    Fill(list, {{"a", "", "", C}, {"b", "", "", C}, {"c", "", "", C}});
    list->SetSelectionMark(0);
    page_->OnInsert();
    QCOMPARE(Urls(list), QStringList({"a", "", "b", "c"}));
    QCOMPARE(list->GetSelectionMark(), 1);
    list->SetSelectionMark(-1);
    page_->OnInsert();
    QCOMPARE(Urls(list), QStringList({"", "a", "", "b", "c"}));  // no mark inserts at the top
}

void LinksPageTest::deleteWalksDownTheList() {
    CListEditView* list = page_->List();
    Fill(list, {{"a", "", "", U}, {"b", "", "", U}, {"c", "", "", U}, {"d", "", "", U}});
    list->SetSelectionMark(1);
    page_->OnDelete();
    QCOMPARE(Urls(list), QStringList({"a", "c", "d"}));
    QCOMPARE(list->GetSelectionMark(), 1);
    page_->OnDelete();
    QCOMPARE(Urls(list), QStringList({"a", "d"}));
    page_->OnDelete();
    QCOMPARE(Urls(list), QStringList({"a"}));
    QVERIFY(messages_.isEmpty());
    // Nothing followed the last deleted row: there is no mark left.
    page_->OnDelete();
    QCOMPARE(Urls(list), QStringList({"a"}));
    QCOMPARE(messages_, QStringList({"No item selected"}));
}

void LinksPageTest::deleteWithoutMarkSaysSo() {
    CListEditView* list = page_->List();
    Fill(list, {{"a", "", "", U}});
    page_->CommandAction(CToolBarCtrlPage::kDelete)->trigger();
    QCOMPARE(messages_, QStringList({"No item selected"}));
    QCOMPARE(list->GetItemCount(), 1);
}

void LinksPageTest::toSearchHandsOverCheckedRows_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("width");
    QTest::addColumn<bool>("handedOver");
    QTest::addColumn<QString>("maxDepth");
    QTest::addColumn<QString>("remainingWidth");
    QTest::newRow("depth 3, empty width") << C << "http://a.com"
                                          << "3"
                                          << "" << true << "3"
                                          << "infinity";
    QTest::newRow("empty depth, width 5") << C << "http://a.com"
                                          << ""
                                          << "5" << true << "infinity"
                                          << "5";
    QTest::newRow("-1 copied as text") << C << "http://a.com"
                                       << "-1"
                                       << "-1" << true << "-1"
                                       << "-1";
    QTest::newRow("marker left alone") << C << "http://e.com/?q=|search"
                                       << ""
                                       << "" << true << "infinity"
                                       << "infinity";
    QTest::newRow("unchecked row") << U << "http://a.com"
                                   << "1"
                                   << "1" << false << ""
                                   << "";
    QTest::newRow("row without state") << ListEditModel::kNoStateImage << "http://a.com"
                                       << "1"
                                       << "1" << false << ""
                                       << "";
    QTest::newRow("checked row with empty URL") << C << ""
                                                << "1"
                                                << "1" << false << ""
                                                << "";
}

void LinksPageTest::toSearchHandsOverCheckedRows() {
    QFETCH(int, state);
    QFETCH(QString, url);
    QFETCH(QString, depth);
    QFETCH(QString, width);
    QFETCH(bool, handedOver);
    QFETCH(QString, maxDepth);
    QFETCH(QString, remainingWidth);
    Fill(page_->List(), {{url, depth, width, state}});
    QTest::mouseClick(page_->ToSearchButton(), Qt::LeftButton);
    QVERIFY(messages_.isEmpty());
    QCOMPARE(search_.rows.size(), handedOver ? 1u : 0u);
    if (handedOver) {
        const RemainingRow& row = search_.rows.front();
        QCOMPARE(QString::fromStdString(row.url), url);
        QVERIFY(row.depth.empty());
        QCOMPARE(QString::fromStdString(row.maxDepth), maxDepth);
        QCOMPARE(QString::fromStdString(row.width), remainingWidth);
    }
    QCOMPARE(page_->List()->GetStateImage(0), state);  // check marks are kept
}

void LinksPageTest::toSearchTwiceGivesTwice() {
    Fill(page_->List(), {{"a", "", "", C}, {"b", "", "", U}, {"c", "", "", C}});
    search_.rows.push_back({"old", "", "1", "1"});
    page_->OnToSearch();
    page_->OnToSearch();
    std::vector<std::string> urls;
    for (const RemainingRow& row : search_.rows)
        urls.push_back(row.url);
    QCOMPARE(urls, (std::vector<std::string>{"a", "c", "a", "c", "old"}));
    QCOMPARE(search_.shown, 2);
}

void LinksPageTest::toSearchWhileSearchingIsRefused() {
    Fill(page_->List(), {{"a", "", "", C}});
    search_.running = true;
    page_->OnToSearch();
    QVERIFY(search_.rows.empty());
    QCOMPARE(messages_, QStringList({"Warning: search under progress.\nTo start a new search you "
                                     "must first \"Stop\" the current search."}));
}

void LinksPageTest::enginesLoadAfterTheMarkAllUnchecked() {
    CListEditView* list = page_->List();
    Fill(list, {{"r0", "", "", C},
                {"r1", "", "", C},
                {"r2", "", "", C},
                {"r3", "", "", U},
                {"r4", "", "", C}});
    list->SetSelectionMark(2);
    page_->CommandAction(CToolBarCtrlPage::kEngines)->trigger();
    QVERIFY(messages_.isEmpty());
    QCOMPARE(Urls(list), QStringList({"r0", "r1", "r2", "http://one.com/?q=|search",
                                      "http://two.com/s?p=|search&n=1", "r3", "r4"}));
    QCOMPARE(RowText(list, 3), QString("http://one.com/?q=|search|-1|-1"));
    QCOMPARE(list->GetSelectionMark(), 4);
    for (int row = 0; row < list->GetItemCount(); ++row)
        QCOMPARE(list->GetStateImage(row), U);
}

void LinksPageTest::enginesTwiceListsTwice() {
    CListEditView* list = page_->List();
    page_->OnEngines();
    page_->OnEngines();
    QCOMPARE(Urls(list),
             QStringList({"http://one.com/?q=|search", "http://two.com/s?p=|search&n=1",
                          "http://one.com/?q=|search", "http://two.com/s?p=|search&n=1"}));
}

void LinksPageTest::enginesInCurrentDirectoryWithoutPath() {
    qx::OpenUserSettings()->remove("Main/Path");
    QTemporaryDir here;
    WriteFile(here.filePath("engines.qeg"), "http://here.com/?q=|search -1 -1\r\n");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(here.path());
    page_->OnEngines();
    QDir::setCurrent(previous);
    QCOMPARE(Urls(page_->List()), QStringList({"http://here.com/?q=|search"}));
}

void LinksPageTest::enginesInFolderRecordedByInstall() {
    qx::OpenUserSettings()->remove("Main/Path");
    QTemporaryDir programs;
    const QString folder = programs.filePath("my programs");
    QVERIFY(QDir().mkpath(folder));
    WriteFile(folder + "/engines.qeg", "http://installed.com/?q=|search -1 -1\r\n");
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config_.path());
    install.setProcessEnvironment(environment);
    install.start(QStringLiteral(QX_SCRIPTS_DIR "/set-program-folder.sh"), {folder});
    QVERIFY(install.waitForFinished(10000));
    QCOMPARE(install.exitCode(), 0);
    QCOMPARE(qx::OpenUserSettings()->value("Main/Path").toString(), folder);
    page_->OnEngines();
    QCOMPARE(Urls(page_->List()), QStringList({"http://installed.com/?q=|search"}));
}

void LinksPageTest::enginesFileMissing() {
    Fill(page_->List(), {{"a", "", "", C}});
    QFile::remove(dir_.filePath("engines.qeg"));
    page_->OnEngines();
    QCOMPARE(messages_, QStringList({"Failed to open file!"}));
    QCOMPARE(Urls(page_->List()), QStringList({"a"}));
    QCOMPARE(page_->List()->GetStateImage(0), C);  // a refused command changes nothing
}

void LinksPageTest::engineQueries_data() {
    QTest::addColumn<QString>("searchItem");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("two words") << "red cars"
                               << QStringList({"http://one.com/?q=red+cars",
                                               "http://two.com/s?p=red+cars&n=1"});
    QTest::newRow("leading blank")
        << " red" << QStringList({"http://one.com/?q=+red", "http://two.com/s?p=+red&n=1"});
}

void LinksPageTest::engineQueries() {
    QFETCH(QString, searchItem);
    QFETCH(QStringList, expected);
    page_->OnEngines();
    page_->OnSelectAll();
    search_.rows.push_back({"old", "", "1", "1"});
    page_->SendEngineQueries(searchItem);
    QVERIFY(messages_.isEmpty());
    QCOMPARE(search_.rows.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(QString::fromStdString(search_.rows[i].url), expected[i]);
        QCOMPARE(search_.rows[i].maxDepth, std::string("-1"));
        QCOMPARE(search_.rows[i].width, std::string("-1"));
    }
    QCOMPARE(search_.rows[2].url, std::string("old"));
}

void LinksPageTest::engineQueriesRefusals_data() {
    QTest::addColumn<QString>("searchItem");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("emptyList");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty list") << "cats" << false << true
                                << "No search engines selected . . .\n\nSelect search engines by "
                                   "pressing \"Engines\" button from \"Links\" toolbar and select "
                                   "engines\nbefore pressing \"SE\".";
    QTest::newRow("empty search item")
        << "" << false << false
        << "Before starting the search you must enter an item to search for.";
    QTest::newRow("search running") << "cats" << true << false
                                    << "Warning: search under progress.\nTo start a new search "
                                       "you must first \"Stop\" the current search.";
}

void LinksPageTest::engineQueriesRefusals() {
    QFETCH(QString, searchItem);
    QFETCH(bool, running);
    QFETCH(bool, emptyList);
    QFETCH(QString, message);
    if (!emptyList)
        Fill(page_->List(), {{"http://one.com/?q=|search", "", "", C}});
    search_.running = running;
    page_->SendEngineQueries(searchItem);
    QCOMPARE(messages_, QStringList({message}));
    QVERIFY(search_.rows.empty());
}

void LinksPageTest::saveAndLoadRoundTrip() {
    CListEditView* list = page_->List();
    Fill(list, {{"http://a.com", "", "", C},
                {"http://b.com", "3", "", U},
                {"http://c.com", "", "5", C},
                {"http://d.com", "2", "7", U}});
    dialogPath_ = dir_.filePath("links.qxt");
    page_->CommandAction(CToolBarCtrlPage::kSave)->trigger();
    QVERIFY(messages_.isEmpty());
    QCOMPARE(ReadFile(dialogPath_), QByteArray("http://a.com -1 -1\r\nhttp://b.com 3 -1\r\n"
                                               "http://c.com -1 5\r\nhttp://d.com 2 7\r\n"));
    QCOMPARE(list->GetStateImage(0), C);  // Save does not change the list

    Fill(list, {});
    page_->CommandAction(CToolBarCtrlPage::kLoad)->trigger();
    page_->OnLoad();
    QCOMPARE(list->GetItemCount(), 8);  // loading twice lists twice
    QCOMPARE(RowText(list, 0), QString("http://a.com|-1|-1"));
    QCOMPARE(RowText(list, 1), QString("http://b.com|3|-1"));
    QCOMPARE(RowText(list, 2), QString("http://c.com|-1|5"));
    QCOMPARE(RowText(list, 7), QString("http://d.com|2|7"));
    for (int row = 0; row < list->GetItemCount(); ++row)
        QCOMPARE(list->GetStateImage(row), U);
}

// Lines in UTF-8 show as such, other 8-bit lines as Latin-1; whichever file
// they came from, Save writes every byte of them back.
void LinksPageTest::eightBitLinesComeBackByteForByte() {
    const QByteArray links =
        "\xef\xbb\xbfhttp://bom.com 1 -1\r\n"
        "http://caf\xe9.com/men\xfc 2 -1\r\n"
        "http://caf\xc3\xa9.com/ 1 -1\r\n"
        "http://x.com/\xff\xfe\xc3 -1 3\r\n";
    const QByteArray engine = "http://s.com/?q=|search&r=\xe9t\xe9 -1 -1\r\n";
    WriteFile(dir_.filePath("engines.qeg"), engine);
    dialogPath_ = dir_.filePath("eight.qxt");
    WriteFile(dialogPath_, links);
    page_->OnLoad();
    page_->OnEngines();
    CListEditView* list = page_->List();
    QCOMPARE(list->GetItemText(1, 0), QString::fromUtf8("http://café.com/menü"));
    QCOMPARE(list->GetItemText(2, 0), QString::fromUtf8("http://café.com/"));
    QCOMPARE(list->GetItemText(4, 0), QString::fromUtf8("http://s.com/?q=|search&r=été"));
    dialogPath_ = dir_.filePath("saved.qxt");
    page_->OnSave();
    QCOMPARE(ReadFile(dialogPath_), links + engine);
    // An edited row keeps the form it came in.
    list->SetItemText(1, 1, "3");
    page_->OnSave();
    QCOMPARE(ReadFile(dialogPath_).split('\n').at(1),
             QByteArray("http://caf\xe9.com/men\xfc 3 -1\r"));
}

void LinksPageTest::emptyLineLoadsAsEmptyRowThatSaveSkips() {
    dialogPath_ = dir_.filePath("gaps.qxt");
    WriteFile(dialogPath_, "http://a.com 1 2\r\n\r\nhttp://b.com\n");
    page_->OnLoad();
    CListEditView* list = page_->List();
    QCOMPARE(Urls(list), QStringList({"http://a.com", "", "http://b.com"}));
    page_->OnSelectAll();
    page_->OnToSearch();
    QCOMPARE(search_.rows.size(), 2u);
    page_->OnSave();
    QCOMPARE(ReadFile(dialogPath_), QByteArray("http://a.com 1 2\r\nhttp://b.com -1 -1\r\n"));
}

void LinksPageTest::saveReplacesLongerFile() {
    dialogPath_ = dir_.filePath("ten.qxt");
    QByteArray ten;
    for (int i = 0; i < 10; ++i)
        ten += "http://old" + QByteArray::number(i) + ".com 1 1\r\n";
    WriteFile(dialogPath_, ten);
    Fill(page_->List(), {{"http://a.com", "", "", U}, {"http://b.com", "", "", U}});
    page_->OnSave();
    QCOMPARE(ReadFile(dialogPath_), QByteArray("http://a.com -1 -1\r\nhttp://b.com -1 -1\r\n"));
}

void LinksPageTest::saveFailureLeavesNothing() {
    Fill(page_->List(), {{"http://a.com", "", "", U}});
    dialogPath_ = dir_.filePath("no/such/folder/links.qxt");
    page_->OnSave();
    QCOMPARE(messages_, QStringList({"Failed to create!"}));
    QVERIFY(!QFile::exists(dialogPath_));
    // A folder where the file should go cannot be replaced by the list.
    messages_.clear();
    dialogPath_ = dir_.filePath("folder.qxt");
    QVERIFY(QDir(dir_.path()).mkdir("folder.qxt"));
    page_->OnSave();
    QCOMPARE(messages_, QStringList({"Failed to create!"}));
    QVERIFY(QFileInfo(dialogPath_).isDir());
}

void LinksPageTest::loadFailureAndCancel() {
    Fill(page_->List(), {{"a", "", "", C}});
    dialogPath_.clear();
    page_->OnLoad();
    page_->OnSave();
    QVERIFY(messages_.isEmpty());
    dialogPath_ = dir_.filePath("missing.qxt");
    page_->OnLoad();
    QCOMPARE(messages_, QStringList({"Failed to open file!"}));
    QCOMPARE(Urls(page_->List()), QStringList({"a"}));
    QCOMPARE(page_->List()->GetStateImage(0), C);
}

void LinksPageTest::loadBadFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rows");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 37) & 0xFF);
    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += "http://h" + QByteArray::number(i) + ".com 1 2\r\n";
    QTest::newRow("binary") << binary << int(binary.count('\n') + (binary.endsWith('\n') ? 0 : 1));
    QTest::newRow("NUL bytes") << QByteArray("a\0b 1 2\r\n\0\r\n", 12) << 2;
    QTest::newRow("invalid UTF-8") << QByteArray("http://a.com/\xff\xfe 1 2\r\n") << 1;
    QTest::newRow("one megabyte line") << QByteArray(1 << 20, 'x') + " 1 2\r\n" << 1;
    QTest::newRow("100,000 lines") << many << 100000;
}

void LinksPageTest::loadBadFiles() {
    QFETCH(QByteArray, content);
    QFETCH(int, rows);
    dialogPath_ = dir_.filePath("bad.qxt");
    WriteFile(dialogPath_, content);
    page_->OnLoad();
    QVERIFY(messages_.isEmpty());
    QCOMPARE(page_->List()->GetItemCount(), rows);
    QCOMPARE(page_->List()->GetSelectionMark(), rows - 1);
}

QTEST_MAIN(LinksPageTest)
#include "LinksPage_test.moc"
