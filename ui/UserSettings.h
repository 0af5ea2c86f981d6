#pragma once

#include <QRect>
#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

namespace qx {

// The per-user configuration file (~/.config/Quillex/Quillex.ini). It holds
// the program folder ([Main] Path), the main window's placement (x, y, x2,
// y2) and the polite crawling options ([Polite]); the other preferences are
// never stored.
std::unique_ptr<QSettings> OpenUserSettings();

// The folder of the program's own files: [Main] Path when set and not empty,
// else the installed folder (InstalledProgramFolder), otherwise the folder of
// the executable.
QString ProgramFolder();

// share/quillex beside the executable's bin folder when it holds the engines
// file, as a package installs it without recording a Path; empty otherwise.
QString InstalledProgramFolder();

// The help page: in the program folder, or where an installation puts it
// (share/quillex beside the executable's bin folder).
QString HelpFilePath();

// The placement of the main window: position and size of its client area.
std::optional<QRect> LoadPlacement();
void SavePlacement(const QRect& placement);

// The polite crawling preferences from [Polite] (ObeyRobots, PerHostOn,
// PerHost, SlowDown), and back. A missing or unreadable value keeps its
// default (off, 4 per host).
void LoadPolitePrefs();
void SavePolitePrefs();

}  // namespace qx
