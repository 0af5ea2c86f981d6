#include "ui/UserSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "links/ProgramFolder.h"
#include "search/SearchSettings.h"

namespace qx {

std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Quillex"), QStringLiteral("Quillex"));
}

QString ProgramFolder() {
    const QByteArray settings = QFile::encodeName(OpenUserSettings()->fileName());
    const QByteArray executable = QFile::encodeName(QCoreApplication::applicationFilePath());
    const std::string folder =
        ProgramFolderLookup::Find(settings.toStdString(), executable.toStdString());
    return QFile::decodeName(QByteArray::fromStdString(folder));
}

QString HelpFilePath() {
    const QString name = QString::fromLatin1(ProgramFolderLookup::kHelpFileName.data(),
                                             ProgramFolderLookup::kHelpFileName.size());
    const QString folder = ProgramFolder();
    const QString inFolder =
        folder.isEmpty() ? QDir::current().absoluteFilePath(name) : QDir(folder).filePath(name);
    if (QFileInfo::exists(inFolder)) {
        return inFolder;
    }
    // A Path naming a folder without the page: an installed one still helps.
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../share/quillex/") + name);
    if (QFileInfo::exists(installed)) {
        return QDir::cleanPath(installed);
    }
    return inFolder;
}

std::optional<QRect> LoadPlacement() {
    auto settings = OpenUserSettings();
    const char* keys[] = {"x", "y", "x2", "y2"};
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = settings->value(QString::fromLatin1(keys[i])).toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

void SavePlacement(const QRect& placement) {
    auto settings = OpenUserSettings();
    settings->setValue(QStringLiteral("x"), placement.x());
    settings->setValue(QStringLiteral("y"), placement.y());
    settings->setValue(QStringLiteral("x2"), placement.width());
    settings->setValue(QStringLiteral("y2"), placement.height());
    settings->sync();
}

namespace {

// The stored value when it is a number, else `fallback`.
int StoredInt(QSettings& settings, const char* key, int fallback) {
    bool ok = false;
    const int value = settings.value(QString::fromLatin1(key)).toInt(&ok);
    return ok ? value : fallback;
}

}  // namespace

void LoadPolitePrefs() {
    auto settings = OpenUserSettings();
    settings->beginGroup(QStringLiteral("Polite"));
    Preferences& prefs = Prefs();
    prefs.ObeyRobots = StoredInt(*settings, "ObeyRobots", 0) != 0 ? 1 : 0;
    prefs.PerHostOn = StoredInt(*settings, "PerHostOn", 0) != 0 ? 1 : 0;
    const int perHost = StoredInt(*settings, "PerHost", Preferences::kDefaultPerHost);
    prefs.PerHost = perHost >= 1 ? perHost : Preferences::kDefaultPerHost;
    prefs.SlowDown = StoredInt(*settings, "SlowDown", 0) != 0 ? 1 : 0;
}

void SavePolitePrefs() {
    auto settings = OpenUserSettings();
    settings->beginGroup(QStringLiteral("Polite"));
    const Preferences& prefs = Prefs();
    settings->setValue(QStringLiteral("ObeyRobots"), prefs.ObeyRobots.load());
    settings->setValue(QStringLiteral("PerHostOn"), prefs.PerHostOn.load());
    settings->setValue(QStringLiteral("PerHost"), prefs.PerHost.load());
    settings->setValue(QStringLiteral("SlowDown"), prefs.SlowDown.load());
    settings->endGroup();
    settings->sync();
}

}  // namespace qx
