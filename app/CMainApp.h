#pragma once

#include <QApplication>
#include <QLocalServer>
#include <QPointer>
#include <QString>

#include "app/CMainWindow.h"

namespace qx {

// The application object: splash, one instance per login session and display, the main
// window and the search started from the command line.
class CMainApp : public QApplication {
    Q_OBJECT
public:
    // `commandLine` is the program's arguments joined by single blanks, taken
    // before Qt removes its own options.
    CMainApp(int& argc, char** argv, QString commandLine);
    ~CMainApp() override;

    // False ends the program at once (another instance runs, or the window
    // could not be made).
    bool InitInstance();

    int StartedWithCommandLine() const { return startedWithCommandLine_; }
    QString CommandLine() const { return commandLine_; }
    CMainWindow* MainWindow() const { return mainWindow_; }

    // Turns the words into a search that starts by itself, on the main
    // window's pages.
    void RunCommandLineSearch(const QString& words);

    // The instance channel of this login session and display: a socket in
    // $XDG_RUNTIME_DIR, else a per-user name in the temporary folder; both
    // carry the display name.
    static QString InstanceServerName();
    static QString InstanceServerName(const QString& runtimeDir, const QString& display,
                                      qulonglong uid);
    // Joins arguments 1.. with single blanks.
    static QString JoinArguments(int argc, char** argv);

private:
    // True when no other instance runs; otherwise it has been asked to come
    // to the front.
    bool CheckSingleInstance();
    void BringToFront();

    QString commandLine_;
    int startedWithCommandLine_ = 0;
    QLocalServer instanceServer_;
    QPointer<CMainWindow> mainWindow_;
};

}  // namespace qx
