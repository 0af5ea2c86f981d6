#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <vector>

#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "ui/MessageBox.h"

using namespace qx;

class DialogOwnerTest : public QObject {
    Q_OBJECT

private slots:
    void init() { settings_ = std::make_unique<test::TemporaryUserSettings>(); }
    void cleanup() { settings_.reset(); }

    void theFirstVisibleRegisteredWindowOwnsTheDialogs() {
        struct Case {
            const char* name;
            std::vector<bool> shown;  // one registered window each, in order
            int owner;                // index of the owner, -1 for none
        };
        // clang-format off
        const Case cases[] = {
            {"none registered", {}, -1},
            {"one hidden", {false}, 0},
            {"one shown", {true}, 0},
            {"hidden then shown", {false, true}, 1},
            {"two shown", {true, true}, 0},
            {"two hidden: the latest", {false, false}, 1},
        };
        // clang-format on
        for (const Case& c : cases) {
            std::vector<std::unique_ptr<QWidget>> windows;
            std::vector<std::unique_ptr<DialogOwnerRegistration>> registrations;
            for (const bool shown : c.shown) {
                windows.push_back(std::make_unique<QWidget>());
                registrations.push_back(
                    std::make_unique<DialogOwnerRegistration>(windows.back().get()));
                windows.back()->setVisible(shown);
            }
            QWidget* expected = c.owner < 0 ? nullptr : windows[c.owner].get();
            QVERIFY2(QxDialogOwner() == expected, c.name);
        }
    }

    void anOpenModalDialogOwnsTheNextOne() {
        QWidget window;
        DialogOwnerRegistration registered(&window);
        window.show();
        QDialog modal(&window);
        QWidget* owner = nullptr;
        QTimer::singleShot(0, &modal, [&] {
            owner = QxDialogOwner();
            modal.reject();
        });
        modal.exec();
        QCOMPARE(owner, &modal);
    }

    void theMainWindowRegistersItselfWhileItLives() {
        auto* window = new CMainWindow;
        QCOMPARE(QxDialogOwner(), window);
        delete window;
        QCOMPARE(QxDialogOwner(), nullptr);
    }

    void aMessageBoxSitsOnTheMainWindowWithTheProgramsCaption() {
        CMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* parent = nullptr;
        QString caption;
        QPoint offCentre;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            parent = box->parentWidget();
            caption = box->windowTitle();
            offCentre = box->frameGeometry().center() - window.frameGeometry().center();
            box->accept();
        });
        QxMessageBox(QStringLiteral("Search finished"));
        QCOMPARE(parent, &window);
        QCOMPARE(caption, QStringLiteral("Quillex"));
        QVERIFY2(offCentre.manhattanLength() < 40,
                 qPrintable(QStringLiteral("box is %1, %2 off the window's centre")
                                .arg(offCentre.x())
                                .arg(offCentre.y())));
    }

private:
    std::unique_ptr<test::TemporaryUserSettings> settings_;
};

QTEST_MAIN(DialogOwnerTest)
#include "DialogOwner_test.moc"
