#pragma once

#include <sys/types.h>

#include <string>

#include "shell/linux/SettingsLocation.h"

namespace reradav {

// The per-user lock file: $XDG_RUNTIME_DIR/reradav.lock, or <tmpBase>/reradav-<uid>/reradav.lock
// when that variable is unset, empty or relative.
std::string InstanceLockPathFor(const EnvLookup& env, uid_t uid,
                                const std::string& tmpBase = "/tmp");

// One running copy per user: an exclusive flock on the lock file, held for the life of the
// object. The kernel drops it with the process, so a crashed copy never blocks the next start;
// the descriptor is close-on-exec, so programs started from here (a browser for the help) do not
// keep it either.
class SingleInstance {
  public:
    enum class Result { Acquired, AlreadyRunning, Failed };

    explicit SingleInstance(std::string lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock without waiting. Failed (with a sentence in *error) when the lock file
    // cannot be used at all: the caller had better run than refuse to. The folder of the lock
    // file is created (0700) when missing, and must be a real folder owned by this user.
    Result Acquire(std::string* error = nullptr);
    const std::string& LockPath() const { return lockPath_; }

  private:
    std::string lockPath_;
    int fd_ = -1;
};

}  // namespace reradav
