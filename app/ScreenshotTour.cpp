#include "app/ScreenshotTour.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <memory>

#include "app/CMainWindow.h"
#include "app/CTabPg1.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"

namespace qx {

namespace {

constexpr int kSettleMs = 300;
constexpr int kHomeLoadTimeoutMs = 15000;

void FillSampleRows(CMainWindow* window) {
    CTabPg2* search = window->SearchPage();
    search->searchEdit->setText(QStringLiteral("cats"));
    search->includeEdit->setText(QStringLiteral("dogs"));
    Settings().SearchText = "cats";
    Settings().IncludeText = "dogs";
    // Scanned pages and matches come as the workers report them.
    const auto scanned = [search](int kind, const char* title, const char* url,
                                  const char* description) {
        ResultRecord record;
        record.title = title;
        record.url = url;
        record.description = description;
        search->Session().HandleMessage(WM_SEARCH_RESULT, static_cast<std::uintptr_t>(kind),
                                        reinterpret_cast<std::intptr_t>(&record));
    };
    scanned(kResultDescribed, "Pets at home", "http://pets.example/",
            "we love cats and dogs at home");
    scanned(kResultNoMatch, "Shop", "http://shop.example/", "");
    search->Session().AppendRemaining({"http://pets.example/more", "1", "infinity", "infinity"});
    search->Session().AppendRemaining({"http://shop.example/cats", "1", "2", "infinity"});
    scanned(kResultMatch, "Pets at home", "http://pets.example/",
            "we love cats and dogs at home, cats first");
    scanned(kResultMatch, "Cat food", "http://food.example/cats",
            "dry food for cats, $12, dogs like it too");
}

void VisitTabs(CMainWindow* window, const QString& folder) {
    const char* names[] = {"home", "search", "results", "links"};
    for (int page = 0; page < 4; ++page) {
        QTimer::singleShot(kSettleMs * (page + 1), window, [window, folder, page, names] {
            window->SetActivePage(page);
            QTimer::singleShot(kSettleMs / 2, window, [window, folder, page, names] {
                window->grab().save(
                    QDir(folder).filePath(QString::fromLatin1(names[page]) + ".png"));
            });
        });
    }
    QTimer::singleShot(kSettleMs * 6, window, [window] {
        window->SearchPage()->advancedButton->click();
        window->SetActivePage(CMainWindow::kSearchPage);
    });
    QTimer::singleShot(kSettleMs * 7, window, [window, folder] {
        window->grab().save(QDir(folder).filePath(QStringLiteral("search-advanced.png")));
        window->close();
    });
}

}  // namespace

QString ScreenshotTour::RequestedFolder() {
    return qEnvironmentVariable("QX_SCREENSHOT_DIR");
}

void ScreenshotTour::Run(CMainWindow* window, const QString& folder) {
    QDir().mkpath(folder);
    FillSampleRows(window);
    // With QX_SCREENSHOT_HOME_URL the Home tab shows that page: the tour
    // starts once it has loaded (or after a while, loaded or not).
    const QString homeUrl = qEnvironmentVariable("QX_SCREENSHOT_HOME_URL");
    if (homeUrl.isEmpty()) {
        VisitTabs(window, folder);
        return;
    }
    auto started = std::make_shared<bool>(false);
    auto start = [window, folder, started] {
        if (!*started) {
            *started = true;
            VisitTabs(window, folder);
        }
    };
    QObject::connect(window->HomePage()->Browser(), &CWebBrowser2::NavigateComplete2, window,
                     [window, start] { QTimer::singleShot(kSettleMs, window, start); });
    QTimer::singleShot(kHomeLoadTimeoutMs, window, start);
    window->HomePage()->Navigate(homeUrl);
}

}  // namespace qx
