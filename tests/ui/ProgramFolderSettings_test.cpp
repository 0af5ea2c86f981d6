// The program folder that the desktop program stores through QSettings is
// the one the Qt-free lookup (quillex-cli, the bar's host) reads back.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "UiTestSupport.h"
#include "links/ProgramFolder.h"
#include "ui/UserSettings.h"

using namespace qx;

class ProgramFolderSettingsTest : public QObject {
    Q_OBJECT

private slots:
    // Before any test moves the settings: both find the same default file.
    void theDefaultSettingsFileIsTheSame() {
        QTemporaryDir config;
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString ours = QFile::decodeName(ProgramFolderLookup::DefaultSettingsFile().c_str());
        const QString qts = OpenUserSettings()->fileName();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(ours, qts);
    }

    void everyFolderNameComesBackAsWritten() {
        test::TemporaryUserSettings settings;
        {
            auto other = OpenUserSettings();
            other->setValue(QStringLiteral("x"), 10);
            other->setValue(QStringLiteral("Polite/PerHost"), 4);
        }
        const char* const names[] = {
            "/opt/quillex",
            "/home/u/my programs",
            " lead",
            "trail ",
            "/a,b",
            "/a;b",
            "/a=b",
            "/q\"uote",
            "/back\\slash",
            "@at",
            "#hash",
            "/tab\there",
            "/new\nline",
            "/caf\xC3\xA9/\xE6\x97\xA5",
            "[Main]",
            "/x\x01"
            "ab",
            "/sp  two",
            "\"quoted\"",
            "/trailing\\",
        };
        for (const char* name : names) {
            const QString folder = QString::fromUtf8(name);
            OpenUserSettings()->setValue(QStringLiteral("Main/Path"), folder);
            QFile file(OpenUserSettings()->fileName());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray ini = file.readAll();
            const std::string read = ProgramFolderLookup::PathFromIni(ini.toStdString());
            QVERIFY2(QString::fromUtf8(read.c_str()) == folder,
                     qPrintable(QStringLiteral("%1 came back as %2 from\n%3")
                                    .arg(folder, QString::fromUtf8(read.c_str()),
                                         QString::fromUtf8(ini))));
            QCOMPARE(ProgramFolder(), folder);
        }
    }

    // No Path: the desktop program, like quillex-cli, looks in the current
    // directory (the test program's folder holds no program files).
    void withoutAPathTheFolderIsNone() {
        test::TemporaryUserSettings settings;
        OpenUserSettings()->setValue(QStringLiteral("Main/Path"), QString());
        QCOMPARE(ProgramFolder(), QString());
        QTemporaryDir here;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(here.path());
        const QString help = HelpFilePath();
        QDir::setCurrent(previous);
        QCOMPARE(help, QDir(here.path()).absoluteFilePath(QStringLiteral("qxhlp.html")));
    }
};

QTEST_MAIN(ProgramFolderSettingsTest)
#include "ProgramFolderSettings_test.moc"
