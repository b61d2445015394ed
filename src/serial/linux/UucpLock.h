#pragma once

#include <sys/types.h>

#include <string>

namespace reradav {

// The UUCP lock file of a device (/run/lock/LCK..ttyUSB0) that minicom, picocom, cu and
// ModemManager-aware tools write and honour: a live PID in it means the port is theirs.
class UucpLock {
  public:
    explicit UucpLock(std::string directory = "/run/lock") : directory_(std::move(directory)) {}
    ~UucpLock() { Release(); }
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Locks the device: false with the holder's PID in *holder when a live process has it; a
    // lock left by a dead one is removed. Where the folder cannot be written there is no lock
    // to take, and that is no failure.
    bool Take(const std::string& devicePath, pid_t* holder);
    // Removes our lock file, if we wrote one.
    void Release();
    void SetDirectory(std::string directory) {
        Release();
        directory_ = std::move(directory);
    }

  private:
    std::string directory_;
    std::string file_;  // ours, while held
};

}  // namespace reradav
