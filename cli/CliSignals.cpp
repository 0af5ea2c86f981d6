#include "cli/CliSignals.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace qx {

namespace {

std::atomic<int> gSignalCount{0};
std::atomic<int> gLastSignal{0};
std::atomic<int> gWakeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "signal handler needs lock-free atomics");

extern "C" void OnStopSignal(int signo) {
    int savedErrno = errno;
    gLastSignal.store(signo);
    gSignalCount.fetch_add(1);
    int fd = gWakeFd.load();
    if (fd >= 0) {
        char byte = 's';
        [[maybe_unused]] ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

void CliSignals::Install(int wakeFd) {
    gWakeFd.store(wakeFd);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

int CliSignals::Count() {
    return gSignalCount.load();
}

int CliSignals::Last() {
    return gLastSignal.load();
}

}  // namespace qx
