#include <cstdio>
#include <cstdlib>

#include "app/CMainApp.h"
#include "app/CWebBrowser2.h"
#include "search/ui/CTabPg2.h"

int main(int argc, char** argv) {
    // The command line is read before Qt takes its own options out of argv.
    const QString commandLine = qx::CMainApp::JoinArguments(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qx::CWebBrowser2::PrepareEngine();
    int result = 0;
    {
        qx::CMainApp app(argc, argv, commandLine);
        if (!app.InitInstance()) {
            return 0;
        }
        result = app.exec();
    }
    if (qx::CTabPg2::SearchEverStarted()) {
        // Transfers that ignored the shutdown may still be winding down; the
        // placement is saved, so end now rather than wait for them.
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
