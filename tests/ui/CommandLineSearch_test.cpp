#include <httplib.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <mutex>
#include <thread>
#include <vector>

#include "UiTestSupport.h"
#include "app/CMainApp.h"
#include "app/CMainWindow.h"
#include "app/CTabPg3.h"
#include "app/CommandLineSearch.h"
#include "links/ui/CListEditView.h"
#include "links/ui/CToolBarCtrlPage.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "ui/UserSettings.h"

using namespace qx;

namespace {

// Three words, two blanks after the second: the blanks must become two commas.
const QString kCommandLine = QStringLiteral("cats dogs  birds");

// A search engine on 127.0.0.1: every request's raw target is recorded and
// answered with a result page that holds the asked words.
class LoopbackEngine {
public:
    LoopbackEngine() {
        server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                targets_.push_back(req.target);
            }
            res.set_content(
                "<html><head><title>Pets</title></head><body><p>Here cats meet dogs and "
                "birds in one garden.</p></body></html>",
                "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~LoopbackEngine() {
        server_.stop();
        thread_.join();
    }
    LoopbackEngine(const LoopbackEngine&) = delete;
    LoopbackEngine& operator=(const LoopbackEngine&) = delete;

    QString Url(const QString& target) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(target);
    }
    QString Targets() const {
        std::lock_guard<std::mutex> lock(mutex_);
        QStringList all;
        for (const std::string& target : targets_) {
            all.append(QString::fromStdString(target));
        }
        return all.join(QLatin1Char(' '));
    }
    bool Received(const std::string& target) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(targets_.begin(), targets_.end(), target) != targets_.end();
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
};

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

}  // namespace

class CommandLineSearchTest : public QObject {
    Q_OBJECT
public:
    explicit CommandLineSearchTest(CMainApp& app) : app_(app) {}

private slots:
    void init() {
        settings_ = std::make_unique<test::TemporaryUserSettings>();
        recorder_ = std::make_unique<test::MessageRecorder>();
        OpenUserSettings()->setValue(QStringLiteral("Main/Path"), settings_->Folder());
        Settings() = SearchSettings{};
    }
    void cleanup() {
        recorder_.reset();
        settings_.reset();
    }

    void theLineSplitsIntoSearchItemAndIncludeWords() {
        struct Case {
            const char* name;
            const char* line;
            const char* searchItem;
            const char* include;  // nullptr: the Include box is left alone
        } cases[] = {
            {"single word", "cats", "cats", nullptr},
            {"two words", "cats dogs", "cats", "dogs"},
            {"two blanks give two commas", "cats dogs  birds", "cats", "dogs,,birds"},
            {"trailing blank only", "cats ", "cats", nullptr},
            {"trailing blank after words", "cats dogs ", "cats", "dogs,"},
            {"commas and quotes are ordinary", "\"red,cars\" a\"b", "\"red,cars\"", "a\"b"},
            {"blank before nothing but blanks", "cats   ", "cats", ",,"},
        };
        for (const Case& c : cases) {
            const CommandLineSearch::Split split =
                CommandLineSearch::SplitLine(QString::fromLatin1(c.line));
            QVERIFY2(split.searchItem == QLatin1String(c.searchItem), c.name);
            if (c.include == nullptr) {
                QVERIFY2(!split.include.has_value(), c.name);
            } else {
                QVERIFY2(split.include.has_value(), c.name);
                QVERIFY2(*split.include == QLatin1String(c.include), c.name);
            }
        }
    }

    void leadingBlanksAreNotPartOfTheLine() {
        struct Case {
            const char* name;
            const char* line;
            const char* expected;
        } cases[] = {
            {"none", "cats dogs", "cats dogs"},    {"blanks", "   cats dogs", "cats dogs"},
            {"tab and blank", "\t cats", "cats"},  {"only blanks", "   ", ""},
            {"trailing kept", "cats  ", "cats  "},
        };
        for (const Case& c : cases) {
            QVERIFY2(CommandLineSearch::Normalize(QString::fromLatin1(c.line)) ==
                         QLatin1String(c.expected),
                     c.name);
        }
    }

    void startedWithWordsSearchesTheEnginesAndShowsTheMatches() {
        LoopbackEngine engine;
        // One engine with the marker in a query value, one in the path.
        WriteFile(QDir(settings_->Folder()).filePath(QStringLiteral("engines.qeg")),
                  (engine.Url(QStringLiteral("/find?q=|search&n=10")) + " -1 -1\r\n" +
                   engine.Url(QStringLiteral("/web/|search/")) + " -1 -1\r\n")
                      .toLatin1());
        QCOMPARE(app_.CommandLine(), kCommandLine);

        QVERIFY(app_.InitInstance());
        QCOMPARE(app_.StartedWithCommandLine(), 1);
        CMainWindow* window = app_.MainWindow();
        QVERIFY(window != nullptr);
        CTabPg2* page = window->SearchPage();

        QVERIFY2(recorder_->texts.isEmpty(), qPrintable(recorder_->texts.join(" / ")));
        // Every engine was loaded and checked.
        CListEditView* links = window->LinksPage()->List();
        QCOMPARE(links->GetItemCount(), 2);
        for (int row = 0; row < links->GetItemCount(); ++row) {
            QVERIFY2(links->IsChecked(row), qPrintable(QString::number(row)));
        }
        // The boxes and the options the search started with.
        QCOMPARE(page->searchEdit->text(), QStringLiteral("cats"));
        QCOMPARE(page->includeEdit->text(), QStringLiteral("dogs,,birds"));
        QVERIFY(page->maxDepthCheck->isChecked());
        QCOMPARE(page->maxDepthEdit->text(), QStringLiteral("0"));
        QVERIFY(page->describeCheck->isChecked());
        QCOMPARE(page->describeForwardEdit->text(), QStringLiteral("10"));
        QCOMPARE(page->describeBackwardEdit->text(), QStringLiteral("2"));
        QCOMPARE(Settings().SearchText, std::string("cats"));
        QCOMPARE(Settings().IncludeText, std::string("dogs,,birds"));
        QCOMPARE(Settings().MaxDepth, 0);
        QCOMPARE(Settings().DescribeForward, 10);
        QCOMPARE(Settings().DescribeBackward, 2);
        QCOMPARE(window->ActivePage(), CMainWindow::kResultsPage);

        // The engines were asked for the whole line and their pages match.
        QTRY_VERIFY_WITH_TIMEOUT(engine.Received("/find?q=cats+dogs++birds&n=10"), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(engine.Received("/web/cats+dogs++birds/"),
                                  qPrintable(engine.Targets()), 20000);
        SourceRowTableModel* results = window->ResultsPage()->Results();
        QTRY_VERIFY_WITH_TIMEOUT(results->rowCount() >= 2, 20000);
        QStringList urls;
        for (int row = 0; row < results->rowCount(); ++row) {
            QCOMPARE(results->Cell(row, 0), QStringLiteral("Pets"));
            urls.append(results->Cell(row, 1));
        }
        QVERIFY2(urls.contains(engine.Url(QStringLiteral("/find?q=cats+dogs++birds&n=10"))),
                 qPrintable(urls.join(QLatin1Char(' '))));
        QVERIFY2(urls.contains(engine.Url(QStringLiteral("/web/cats+dogs++birds/"))),
                 qPrintable(urls.join(QLatin1Char(' '))));

        recorder_->answers.push_back(QMessageBox::Yes);
        page->OnStop();
        page->Shutdown();
        delete window;
    }

    void aSingleWordLeavesTheIncludeBoxAlone() {
        LoopbackEngine engine;
        WriteFile(QDir(settings_->Folder()).filePath(QStringLiteral("engines.qeg")),
                  (engine.Url(QStringLiteral("/find?q=|search")) + " -1 -1\r\n").toLatin1());
        struct Case {
            const char* name;
            const char* line;
            const char* query;
        } cases[] = {{"one word", "cats", "/find?q=cats"},
                     {"one word and a blank", "cats ", "/find?q=cats+"}};
        for (const Case& c : cases) {
            CMainWindow window;
            CTabPg2* page = window.SearchPage();
            page->includeEdit->setText(QStringLiteral("kept"));
            CommandLineSearch::Run(window, QString::fromLatin1(c.line));
            QVERIFY2(page->searchEdit->text() == QStringLiteral("cats"), c.name);
            QVERIFY2(page->includeEdit->text() == QStringLiteral("kept"), c.name);
            QVERIFY2(page->Session().running(), c.name);
            QVERIFY2(window.ActivePage() == CMainWindow::kResultsPage, c.name);
            QVERIFY2(recorder_->texts.isEmpty(), c.name);
            QTRY_VERIFY2_WITH_TIMEOUT(engine.Received(c.query), c.name, 20000);
            recorder_->answers.push_back(QMessageBox::Yes);
            page->OnStop();
            page->Shutdown();
            recorder_->Clear();
        }
    }

    void aMissingEnginesFileIsReportedAndTheSearchStillRuns() {
        CMainWindow window;
        CTabPg2* page = window.SearchPage();
        QString paneAtTheMessage;
        SetQxMessageBoxHook([&](const QxMessage& message) {
            if (message.text == QLatin1String("Failed to open file!")) {
                paneAtTheMessage = window.StatusBar()->PaneText(0);
            }
            return static_cast<int>(QMessageBox::Ok);
        });
        CommandLineSearch::Run(window, QStringLiteral("cats dogs"));
        // The fixed text leaves the user guessing where the file should be:
        // the status bar names it.
        QCOMPARE(paneAtTheMessage, QStringLiteral("Failed to open ") + settings_->Folder() +
                                       QStringLiteral("/engines.qeg"));
        QCOMPARE(page->searchEdit->text(), QStringLiteral("cats"));
        QCOMPARE(page->includeEdit->text(), QStringLiteral("dogs"));
        QCOMPARE(window.ActivePage(), CMainWindow::kResultsPage);
        page->Shutdown();
    }

private:
    CMainApp& app_;
    std::unique_ptr<test::TemporaryUserSettings> settings_;
    std::unique_ptr<test::MessageRecorder> recorder_;
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The one-instance channel lives in the session's runtime folder (else the
    // temporary folder): a private one keeps a running program from taking
    // our words.
    QTemporaryDir runtime;
    qputenv("TMPDIR", QFile::encodeName(runtime.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    CMainApp app(argc, argv, kCommandLine);
    CommandLineSearchTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "CommandLineSearch_test.moc"
