#pragma once

#include <atomic>

namespace qx {

// Wakes the crawler's loop: from worker threads when a message waits for the
// loop, and from signal handlers. A self-pipe, so that the loop can sleep in
// poll() and a signal handler only needs write().
class CliWakePipe {
public:
    CliWakePipe();
    ~CliWakePipe();
    CliWakePipe(const CliWakePipe&) = delete;
    CliWakePipe& operator=(const CliWakePipe&) = delete;

    bool Ok() const { return readFd_ >= 0; }
    // The end a signal handler writes to.
    int WriteFd() const { return writeFd_; }

    // Any thread. Wakes coalesce: while the loop has not yet woken, further
    // calls write nothing, so a busy crawl does not pay a system call per
    // message.
    void Wake();

    // Loop thread: sleeps up to timeoutMs or until woken, then empties the
    // pipe. Every Wake() made before the return is seen by the pumping that
    // follows.
    void Wait(int timeoutMs);

private:
    int readFd_ = -1;
    int writeFd_ = -1;
    std::atomic<bool> wakePending_{false};
};

}  // namespace qx
