#pragma once

#include <sys/types.h>

#include <string>

#include "shell/linux/SettingsLocation.h"

namespace reradav {

// The lock of a settings file, beside it: two copies can never share a file, whatever their
// environment (with XDG_RUNTIME_DIR or without, under su, ssh or cron), and the folder is one
// only its user can write.
std::string InstanceLockPathFor(const std::string& settingsFile);

// One running copy per settings file: an exclusive flock on the lock file, held for the life of the
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
