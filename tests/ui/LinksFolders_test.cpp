// Where the links page looks for its files: the engines file with and without
// a program folder, and the folder its Load and Save dialogs start in.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <QtTest>

#include "UiTestSupport.h"
#include "links/ui/CToolBarCtrlPage.h"
#include "links/ui/LinksFileDialog.h"
#include "ui/UserSettings.h"

using namespace qx;

namespace {

// Runs the real dialog of `kind`, cancels it and returns the folder it showed.
QString FolderShownBy(LinksFileDialog::Kind kind) {
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            shown = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    poll.start(10);
    const QString chosen = LinksFileDialog::Ask(kind);
    return chosen.isEmpty() ? shown : QStringLiteral("chose ") + chosen;
}

}  // namespace

class LinksFoldersTest : public QObject {
    Q_OBJECT

private slots:
    void init() { settings_ = std::make_unique<test::TemporaryUserSettings>(); }
    void cleanup() { LinksFileDialog::SetHook({}); }

    void enginesLookedForInTheProgramFolderElseHere() {
        OpenUserSettings()->setValue(QStringLiteral("Main/Path"), settings_->Folder());
        QCOMPARE(CToolBarCtrlPage::EnginesFileCandidates(),
                 QStringList({settings_->Folder() + QStringLiteral("/engines.qeg")}));
        OpenUserSettings()->remove(QStringLiteral("Main/Path"));
        QTemporaryDir here;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(here.path());
        const QStringList expected = {
            QDir(here.path()).absoluteFilePath(QStringLiteral("engines.qeg"))};
        const QStringList candidates = CToolBarCtrlPage::EnginesFileCandidates();
        const QString path = CToolBarCtrlPage::EnginesFilePath();
        QDir::setCurrent(previous);
        QCOMPARE(candidates, expected);
        QCOMPARE(path, expected.front());
    }

    void fileDialogsStartInTheFolderUsedLast() {
        QCOMPARE(LinksFileDialog::StartFolder(), QDir::currentPath());
        auto other = std::make_unique<QTemporaryDir>();
        QString chosen = other->filePath(QStringLiteral("mine.qxt"));
        LinksFileDialog::SetHook([&](LinksFileDialog::Kind) { return chosen; });
        LinksFileDialog::Ask(LinksFileDialog::Kind::Save);
        chosen.clear();
        LinksFileDialog::Ask(LinksFileDialog::Kind::Open);  // cancelled: the folder stays
        QCOMPARE(LinksFileDialog::StartFolder(), other->path());
        LinksFileDialog::SetHook({});
        const struct {
            const char* name;
            LinksFileDialog::Kind kind;
        } dialogs[] = {{"Load", LinksFileDialog::Kind::Open},
                       {"Save", LinksFileDialog::Kind::Save}};
        for (const auto& d : dialogs) {
            QVERIFY2(FolderShownBy(d.kind) == other->path(), d.name);
        }
        other.reset();  // a folder that has gone is not offered
        for (const auto& d : dialogs) {
            QVERIFY2(FolderShownBy(d.kind) == QDir::currentPath(), d.name);
        }
    }

private:
    std::unique_ptr<test::TemporaryUserSettings> settings_;
};

QTEST_MAIN(LinksFoldersTest)
#include "LinksFolders_test.moc"
