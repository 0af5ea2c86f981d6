#include <QGroupBox>
#include <QPushButton>
#include <QtTest>

#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "app/CPref1.h"
#include "app/CPrefSheet.h"
#include "app/CTabPg1.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "ui/UserSettings.h"

using namespace qx;

namespace {

// The topmost row of the group's frame, looked for near its right edge, away
// from the title.
int FrameTop(QGroupBox* group) {
    const QImage image = group->grab().toImage();
    const int x = image.width() - 10;
    const QColor background = image.pixelColor(x, 0);
    for (int y = 1; y < image.height(); ++y) {
        if (image.pixelColor(x, y) != background) {
            return y;
        }
    }
    return image.height();
}

QImage IconImage(const QAbstractButton* button) {
    return button->icon().pixmap(20, 20).toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<test::TemporaryUserSettings>();
        Prefs().AlwaysOnTop = 0;
        Prefs().UseRobotExclusion = 0;
        Prefs().SetIdentity(Preferences::kDefaultIdentity);
        Prefs().ObeyRobots = 0;
        Prefs().PerHostOn = 0;
        Prefs().PerHost = Preferences::kDefaultPerHost;
        Prefs().SlowDown = 0;
    }

    void opensWithTheValuesInForce() {
        CMainWindow window;
        {
            CPrefSheet sheet(&window);
            QCOMPARE(sheet.windowTitle(), QStringLiteral("Preferences"));
            QCOMPARE(sheet.Page()->IdentityText(), QStringLiteral("Microsoft Internet Explorer"));
            QVERIFY(!sheet.Page()->AlwaysOnTopBox()->isChecked());
            QVERIFY(!sheet.Page()->RobotExclusionBox()->isChecked());
            QVERIFY(!sheet.Buttons()->button(QDialogButtonBox::Apply)->isEnabled());
        }
        Prefs().UseRobotExclusion = 1;
        Prefs().SetIdentity("Other");
        CPrefSheet sheet(&window);
        QVERIFY(sheet.Page()->RobotExclusionBox()->isChecked());
        QCOMPARE(sheet.Page()->IdentityText(), QStringLiteral("Other"));
    }

    void groupTitlesSitInTheBorderAndTheOwnNameButtonHasItsOwnIcon() {
        CMainWindow window;
        window.SetActivePage(CMainWindow::kSearchPage);
        window.SearchPage()->advancedButton->click();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CPrefSheet sheet(&window);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QList<QGroupBox*> groups = sheet.Page()->findChildren<QGroupBox*>();
        QCOMPARE(groups.size(), 2);  // ID and Polite Crawling
        groups.append(window.SearchPage()->engineTimingGroup);
        for (QGroupBox* group : groups) {
            QVERIFY(group != nullptr);
            // Across the title's middle, not below its text.
            QVERIFY2(FrameTop(group) < group->fontMetrics().height() * 2 / 3,
                     qPrintable(group->title()));
        }
        const auto* home =
            window.HomePage()->findChild<QPushButton*>(QStringLiteral("homePageButton"));
        QVERIFY(home != nullptr);
        QVERIFY(!IconImage(sheet.Page()->OwnNameButton()).isNull());
        QVERIFY(IconImage(sheet.Page()->OwnNameButton()) != IconImage(home));
    }

    void eachChangeEnablesApply() {
        CMainWindow window;
        struct Case {
            const char* name;
            std::function<void(CPref1*)> change;
        } cases[] = {
            {"always on top", [](CPref1* p) { p->AlwaysOnTopBox()->click(); }},
            {"robot exclusion", [](CPref1* p) { p->RobotExclusionBox()->click(); }},
            {"identity typed", [](CPref1* p) { QTest::keyClick(p->IdentityBox(), Qt::Key_A); }},
            {"own name", [](CPref1* p) { p->OwnNameButton()->click(); }},
            {"default", [](CPref1* p) { p->DefaultButton()->click(); }},
            {"obey robots.txt", [](CPref1* p) { p->ObeyRobotsBox()->click(); }},
            {"connections per host", [](CPref1* p) { p->PerHostBox()->click(); }},
            {"per host number", [](CPref1* p) { p->PerHostNumber()->stepUp(); }},
            {"slow down", [](CPref1* p) { p->SlowDownBox()->click(); }},
        };
        for (const Case& c : cases) {
            CPrefSheet sheet(&window);
            QPushButton* apply = sheet.Buttons()->button(QDialogButtonBox::Apply);
            c.change(sheet.Page());
            QVERIFY2(apply->isEnabled(), c.name);
            apply->click();
            QVERIFY2(!apply->isEnabled(), c.name);
        }
    }

    void ownNameAndDefaultButtonsFillTheIdentity() {
        CMainWindow window;
        CPrefSheet sheet(&window);
        sheet.Page()->OwnNameButton()->click();
        QCOMPARE(sheet.Page()->IdentityText(), QStringLiteral("QuillEx"));
        sheet.Page()->DefaultButton()->click();
        QCOMPARE(sheet.Page()->IdentityText(), QStringLiteral("Microsoft Internet Explorer"));
        sheet.Page()->OwnNameButton()->click();
        sheet.Buttons()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(Prefs().Identity(), std::string("QuillEx"));
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }

    void okWithAnEmptyIdentityKeepsTheIdentity() {
        CMainWindow window;
        Prefs().SetIdentity("Kept");
        CPrefSheet sheet(&window);
        sheet.Page()->IdentityBox()->clear();
        sheet.Page()->RobotExclusionBox()->click();
        sheet.Buttons()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(Prefs().Identity(), std::string("Kept"));
        QCOMPARE(Prefs().UseRobotExclusion.load(), 1);
    }

    void applyMakesTheWindowTopmostAndCancelKeepsIt() {
        CMainWindow window;
        window.show();
        CPrefSheet sheet(&window);
        sheet.Page()->AlwaysOnTopBox()->click();
        sheet.Buttons()->button(QDialogButtonBox::Apply)->click();
        QCOMPARE(Prefs().AlwaysOnTop.load(), 1);
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        sheet.Page()->AlwaysOnTopBox()->click();  // changed again, then cancelled
        sheet.Buttons()->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(sheet.result(), int(QDialog::Rejected));
        QCOMPARE(Prefs().AlwaysOnTop.load(), 1);
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        // Hidden and shown again (another start brings it forward), the window
        // keeps the user's Always on Top.
        window.hide();
        window.show();
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    // Under a window manager: Apply makes the window topmost at once while the
    // open sheet stays in front of it and active (setting the flag on the
    // shown window re-created it over the modal sheet: a frozen program).
    void alwaysOnTopKeepsTheOpenSheetInFront() {
        if (!test::UnderWindowManager())
            QSKIP("needs a window manager (tests/ui/with_window_manager.sh)");
        CMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        bool windowAbove = false, sheetInFront = false;
        QTimer::singleShot(0, [&] {
            auto* sheet = qobject_cast<CPrefSheet*>(QApplication::activeModalWidget());
            if (sheet == nullptr)
                return;
            (void)QTest::qWaitForWindowActive(sheet);
            sheet->Page()->AlwaysOnTopBox()->click();
            sheet->Buttons()->button(QDialogButtonBox::Apply)->click();
            windowAbove = QTest::qWaitFor([&] {
                return test::XProperty(QStringLiteral("_NET_WM_STATE"), window.winId())
                    .contains(QLatin1String("_NET_WM_STATE_ABOVE"));
            });
            sheetInFront = QTest::qWaitFor([&] {
                return test::StackedAbove(sheet, &window) && QApplication::activeWindow() == sheet;
            });
            sheet->Buttons()->button(QDialogButtonBox::Cancel)->click();
        });
        window.OnPreferences();
        QVERIFY(windowAbove);
        QVERIFY(sheetInFront);
        QCOMPARE(Prefs().AlwaysOnTop.load(), 1);
    }

    void politeCrawlingLoadsFromAndSavesToItsGroup() {
        // Nothing stored: all off, 4 per host.
        LoadPolitePrefs();
        CMainWindow window;
        {
            CPrefSheet sheet(&window);
            CPref1* page = sheet.Page();
            QVERIFY(!page->ObeyRobotsBox()->isChecked());
            QVERIFY(!page->PerHostBox()->isChecked());
            QVERIFY(!page->PerHostNumber()->isEnabled());
            QCOMPARE(page->PerHostNumber()->value(), 4);
            QVERIFY(!page->SlowDownBox()->isChecked());
        }
        {
            auto stored = OpenUserSettings();
            stored->setValue(QStringLiteral("Polite/ObeyRobots"), 1);
            stored->setValue(QStringLiteral("Polite/PerHostOn"), 1);
            stored->setValue(QStringLiteral("Polite/PerHost"), 7);
            stored->setValue(QStringLiteral("Polite/SlowDown"), 0);
        }
        LoadPolitePrefs();
        CPrefSheet sheet(&window);
        CPref1* page = sheet.Page();
        QVERIFY(page->ObeyRobotsBox()->isChecked());
        QVERIFY(page->PerHostBox()->isChecked());
        QVERIFY(page->PerHostNumber()->isEnabled());
        QCOMPARE(page->PerHostNumber()->value(), 7);
        QVERIFY(!page->SlowDownBox()->isChecked());

        page->ObeyRobotsBox()->click();
        page->PerHostNumber()->setValue(3);
        page->SlowDownBox()->click();
        sheet.Buttons()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(Prefs().ObeyRobots.load(), 0);
        QCOMPARE(Prefs().PerHost.load(), 3);
        QCOMPARE(Prefs().SlowDown.load(), 1);
        const auto saved = OpenUserSettings();
        QCOMPARE(saved->value(QStringLiteral("Polite/ObeyRobots")).toInt(), 0);
        QCOMPARE(saved->value(QStringLiteral("Polite/PerHostOn")).toInt(), 1);
        QCOMPARE(saved->value(QStringLiteral("Polite/PerHost")).toInt(), 3);
        QCOMPARE(saved->value(QStringLiteral("Polite/SlowDown")).toInt(), 1);
        // A value that is no number keeps its default.
        saved->setValue(QStringLiteral("Polite/PerHost"), QStringLiteral("many"));
        saved->sync();
        LoadPolitePrefs();
        QCOMPARE(Prefs().PerHost.load(), 4);
    }

    void cancelAppliesNothing() {
        CMainWindow window;
        CPrefSheet sheet(&window);
        sheet.Page()->OwnNameButton()->click();
        sheet.Page()->RobotExclusionBox()->click();
        sheet.Buttons()->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(Prefs().Identity(), std::string(Preferences::kDefaultIdentity));
        QCOMPARE(Prefs().UseRobotExclusion.load(), 0);
    }

    void preferencesCommandRunsTheSheetModally() {
        CMainWindow window;
        window.show();
        QTimer::singleShot(0, [] {
            auto* sheet = qobject_cast<CPrefSheet*>(QApplication::activeModalWidget());
            QVERIFY(sheet != nullptr);
            sheet->Page()->OwnNameButton()->click();
            sheet->Buttons()->button(QDialogButtonBox::Ok)->click();
        });
        window.OnPreferences();
        QCOMPARE(Prefs().Identity(), std::string("QuillEx"));
    }

private:
    std::unique_ptr<test::TemporaryUserSettings> settings_;
};

QTEST_MAIN(PreferencesTest)
#include "Preferences_test.moc"
