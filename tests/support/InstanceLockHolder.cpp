// Takes the single-instance lock in a process of its own. Usage:
//   instance_lock_holder LOCKFILE [CHILD-PROGRAM ARGS...]
// Prints "acquired", "running" or "failed" and a newline. When it has the lock it starts the
// child program, if one is given, prints the child's process id on a second line, and then waits
// to be killed.
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "shell/linux/SingleInstance.h"

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    reradav::SingleInstance instance(argv[1]);
    const auto result = instance.Acquire();
    if (result != reradav::SingleInstance::Result::Acquired) {
        std::printf("%s\n", result == reradav::SingleInstance::Result::AlreadyRunning ? "running"
                                                                                      : "failed");
        return 1;
    }
    std::printf("acquired\n");
    if (argc > 2) {
        pid_t child = -1;
        if (posix_spawn(&child, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
            return 3;
        }
        std::printf("%d\n", static_cast<int>(child));
    }
    std::fflush(stdout);
    for (;;) {
        ::pause();
    }
}
