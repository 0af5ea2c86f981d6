#include "app/CMainApp.h"

int main(int argc, char** argv) {
    // The command line is read before Qt takes its own options out of argv.
    const QString commandLine = qx::CMainApp::JoinArguments(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qx::CMainApp app(argc, argv, commandLine);
    if (!app.InitInstance()) {
        return 0;
    }
    return app.exec();
}
