#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace reradav {

// The name of the lock of a settings file: a mutex of this logon session named after the file's
// full path, compared without regard to case as the file system does (a hash of it: a mutex
// name cannot hold a path).
std::string InstanceNameFor(const std::filesystem::path& settingsFile);

// One running copy per settings file: a named mutex, held for the life of the object. The system
// drops it with the process, so a crashed copy never blocks the next start; the handle is not
// inherited by programs started from here (a browser for the help).
class SingleInstance {
  public:
    enum class Result { Acquired, AlreadyRunning, Failed };

    explicit SingleInstance(std::string name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock without waiting. Failed (with a sentence in *error) when the mutex cannot
    // be made at all: the caller had better run than refuse to.
    Result Acquire(std::string* error = nullptr);
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
    HANDLE mutex_ = nullptr;
};

}  // namespace reradav
