#include "cli/CliWakePipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace qx {

CliWakePipe::CliWakePipe() {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
    }
}

CliWakePipe::~CliWakePipe() {
    if (readFd_ >= 0) {
        close(readFd_);
        close(writeFd_);
    }
}

void CliWakePipe::Wake() {
    if (wakePending_.exchange(true)) {
        return;
    }
    char byte = 'w';
    // A full pipe already holds a wake-up, so a failed write loses nothing.
    [[maybe_unused]] ssize_t written = write(writeFd_, &byte, 1);
}

void CliWakePipe::Wait(int timeoutMs) {
    if (readFd_ >= 0) {
        pollfd fd{readFd_, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) > 0) {
            char buffer[256];
            while (read(readFd_, buffer, sizeof buffer) > 0) {
            }
        }
    }
    // Cleared after the drain: a Wake() that found it set came before this
    // point, so its message is already queued for the pump that follows.
    wakePending_.store(false);
}

}  // namespace qx
