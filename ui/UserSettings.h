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

// The folder of the program's own files, found by ProgramFolderLookup (see
// links/ProgramFolder.h for the order) in this settings file; empty when
// there is none and the files are looked for in the current directory.
QString ProgramFolder();

// The help page: in the program folder (the current directory when there is
// none), or where an installation puts it (share/quillex beside bin/).
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
