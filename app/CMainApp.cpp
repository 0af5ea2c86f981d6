#include "app/CMainApp.h"

#include <unistd.h>
#include <QLocalSocket>
#include <exception>

#include "app/CMainWindow.h"
#include "app/CSplashWnd.h"
#include "app/CommandLineSearch.h"
#include "app/Resources.h"
#include "app/ScreenshotTour.h"
#include "ui/UserSettings.h"

namespace qx {

namespace {

constexpr int kConnectTimeoutMs = 1000;
const QByteArray kRaiseRequest = "raise\n";

}  // namespace

CMainApp::CMainApp(int& argc, char** argv, QString commandLine)
    : QApplication(argc, argv), commandLine_(std::move(commandLine)) {
    InitResources();
    setApplicationName(QStringLiteral("Quillex"));
    setOrganizationName(QStringLiteral("Quillex"));
    setApplicationVersion(QStringLiteral(QX_VERSION));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quillex.png")));
    setQuitOnLastWindowClosed(true);
}

CMainApp::~CMainApp() {
    delete mainWindow_.data();
}

QString CMainApp::JoinArguments(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i) {
        words.append(QString::fromLocal8Bit(argv[i]));
    }
    return words.join(QLatin1Char(' '));
}

QString CMainApp::InstanceServerName() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
    }
    return InstanceServerName(qEnvironmentVariable("XDG_RUNTIME_DIR"), display,
                              static_cast<qulonglong>(getuid()));
}

QString CMainApp::InstanceServerName(const QString& runtimeDir, const QString& display,
                                     qulonglong uid) {
    // A display name may hold a path ("/tmp/launch-x/org.x:0"): only its
    // harmless characters go into the socket's file name.
    QString tag;
    for (const QChar c : display) {
        const bool plain = c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char(':') ||
                           c == QLatin1Char('-');
        tag += (plain && c.unicode() < 128) ? c : QLatin1Char('_');
    }
    if (tag.isEmpty()) {
        tag = QStringLiteral("nodisplay");
    }
    if (!runtimeDir.isEmpty()) {
        // The session's own folder: another login of the same user (a second
        // desktop, ssh -X) has its own, so each runs its own instance.
        return QStringLiteral("%1/quillex-instance-%2").arg(runtimeDir, tag);
    }
    return QStringLiteral("quillex-instance-%1-%2").arg(uid).arg(tag);
}

bool CMainApp::InitInstance() {
    startedWithCommandLine_ = commandLine_.trimmed().isEmpty() ? 0 : 1;
    if (startedWithCommandLine_ == 0) {
        CSplashWnd::ShowBriefly();
    }
    if (!CheckSingleInstance()) {
        return false;
    }
    // Polite crawling is the one preference a user expects to last.
    LoadPolitePrefs();
    try {
        mainWindow_ = new CMainWindow;
        mainWindow_->show();
        if (const QString folder = ScreenshotTour::RequestedFolder(); !folder.isEmpty()) {
            ScreenshotTour::Run(mainWindow_, folder);
        }
        if (startedWithCommandLine_ == 1) {
            RunCommandLineSearch(commandLine_);
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool CMainApp::CheckSingleInstance() {
    const QString name = InstanceServerName();
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(kConnectTimeoutMs)) {
        // Another instance runs: it comes to the front; our words are dropped.
        probe.write(kRaiseRequest);
        probe.waitForBytesWritten(kConnectTimeoutMs);
        probe.disconnectFromServer();
        return false;
    }
    // Nobody answers: a name left by a crashed instance may still block us.
    QLocalServer::removeServer(name);
    instanceServer_.setSocketOptions(QLocalServer::UserAccessOption);
    if (instanceServer_.listen(name)) {
        connect(&instanceServer_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = instanceServer_.nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                BringToFront();
            }
        });
    }
    return true;
}

void CMainApp::BringToFront() {
    if (mainWindow_ == nullptr) {
        return;
    }
    if (mainWindow_->isMinimized()) {
        mainWindow_->showNormal();
    }
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
    // An open dialog of ours belongs in front of the window.
    if (QWidget* popup = activeModalWidget(); popup != nullptr && popup != mainWindow_) {
        popup->raise();
        popup->activateWindow();
    }
}

void CMainApp::RunCommandLineSearch(const QString& words) {
    if (mainWindow_ != nullptr) {
        CommandLineSearch::Run(*mainWindow_, words);
    }
}

}  // namespace qx
