// qxbar-host: the native messaging host of the QuillEx Search Bar.
//
//   qxbar-host --register     write the host manifests for this user
//   qxbar-host --unregister   remove them
//   qxbar-host --manifest chromium|firefox HOST_PATH
//                             print one browser's host manifest (a package
//                             installs them for every user)
//   qxbar-host ORIGIN...      run for the browser (it passes the caller)

#include "bar/host/BarHost.h"
#include "bar/host/HostRegistration.h"
#include "bar/host/ProgramLauncher.h"
#include "links/ProgramFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <ext/stdio_filebuf.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

int RunRegistration(bool registering) {
    const auto targets = qx::HostRegistration::UserTargets(Env("HOME"), Env("XDG_CONFIG_HOME"));
    if (!registering)
        return qx::HostRegistration::Unregister(targets, std::cerr) ? 0 : 1;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        std::cerr << "qxbar-host: cannot tell where the host is installed\n";
        return 1;
    }
    return qx::HostRegistration::Register(self, targets, std::cerr) ? 0 : 1;
}

int PrintManifest(const std::string& browser, const std::string& hostPath) {
    if ((browser != "chromium" && browser != "firefox") || hostPath.empty() ||
        hostPath.front() != '/') {
        std::cerr << "usage: qxbar-host --manifest chromium|firefox /ABSOLUTE/PATH/qxbar-host\n";
        return 2;
    }
    std::cout << qx::HostRegistration::Manifest(hostPath, browser == "firefox");
    return std::cout.flush() ? 0 : 1;
}

// The replies get the browser's pipe to themselves: standard output then
// points at standard error, so that nothing else can slip into the stream.
int TakeReplyChannel() {
    const int replies = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (replies < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return -1;
    return replies;
}

int RunForBrowser() {
    // Started programs are reaped by the system; a closed browser pipe is an
    // error to report, not a signal that ends the host.
    ::signal(SIGCHLD, SIG_IGN);
    ::signal(SIGPIPE, SIG_IGN);
    const int replyFd = TakeReplyChannel();
    if (replyFd < 0) {
        std::cerr << "qxbar-host: no reply channel\n";
        return 1;
    }
    __gnu_cxx::stdio_filebuf<char> replyBuffer(replyFd, std::ios::out);
    std::ostream replies(&replyBuffer);
    qx::BarHost host(qx::ProgramFolderLookup::Find(), &qx::ProgramLauncher::Start);
    return host.Run(std::cin, replies, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--register" || args[0] == "--unregister"))
        return RunRegistration(args[0] == "--register");
    if (args.size() == 3 && args[0] == "--manifest")
        return PrintManifest(args[1], args[2]);
    if (!qx::BarHost::IsOurCaller(args)) {
        std::cerr << "usage: qxbar-host --register | --unregister"
                     " | --manifest chromium|firefox HOST_PATH\n"
                     "The browser starts the host for the QuillEx Search Bar only.\n";
        return 2;
    }
    return RunForBrowser();
}
