#include "search/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qx {

void SetCurrentThreadPriority(ThreadPriority priority) {
    // On Linux a nice value set for a thread id applies to that thread only;
    // raising it needs no privileges.
    const int increment = priority == ThreadPriority::kLowest ? 10 : 2;
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    const int current = ::getpriority(PRIO_PROCESS, tid);
    (void)::setpriority(PRIO_PROCESS, tid, current + increment);
}

}  // namespace qx
