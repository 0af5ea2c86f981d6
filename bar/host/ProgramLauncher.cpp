#include "bar/host/ProgramLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace qx {

namespace {

// The attributes and file actions of one spawn, released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        attrOk_ = ::posix_spawnattr_init(&attr_) == 0;
        actionsOk_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    }
    ~SpawnSetup() {
        if (attrOk_)
            ::posix_spawnattr_destroy(&attr_);
        if (actionsOk_)
            ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Prepare() {
        if (!attrOk_ || !actionsOk_)
            return false;
        // The host ignores SIGCHLD so that started programs never linger as
        // zombies; the program itself gets the default back.
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGCHLD);
        sigaddset(&defaults, SIGPIPE);
        sigset_t none;
        sigemptyset(&none);
        const short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
        return ::posix_spawnattr_setflags(&attr_, flags) == 0 &&
               ::posix_spawnattr_setsigdefault(&attr_, &defaults) == 0 &&
               ::posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
               ::posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
               ::posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0 &&
               ::posix_spawn_file_actions_adddup2(&actions_, 1, 2) == 0 &&
               ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
    }

    const posix_spawnattr_t* Attr() const { return &attr_; }
    const posix_spawn_file_actions_t* Actions() const { return &actions_; }

private:
    posix_spawnattr_t attr_{};
    posix_spawn_file_actions_t actions_{};
    bool attrOk_ = false;
    bool actionsOk_ = false;
};

}  // namespace

std::string ProgramLauncher::ProgramFor(std::string_view programFolder) {
    if (programFolder.empty())
        return "quillex";
    std::string program(programFolder);
    if (program.back() != '/')
        program += '/';
    return program + "quillex";
}

bool ProgramLauncher::Start(const std::string& program, const std::string& words) {
    if (program.empty() || words.find('\0') != std::string::npos)
        return false;
    SpawnSetup setup;
    if (!setup.Prepare())
        return false;
    std::string arg0 = program;
    std::string arg1 = words;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    pid_t pid = 0;
    // A bare name is looked up on PATH; a path is used as it stands.
    const bool lookUp = program.find('/') == std::string::npos;
    const int rc =
        lookUp ? ::posix_spawnp(&pid, program.c_str(), setup.Actions(), setup.Attr(), argv, environ)
               : ::posix_spawn(&pid, program.c_str(), setup.Actions(), setup.Attr(), argv, environ);
    return rc == 0;
}

}  // namespace qx
