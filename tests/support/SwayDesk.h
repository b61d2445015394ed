#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/TempFolder.h"

namespace reradav::test {

// A headless sway with wev focused, both run as an unprivileged user (sway refuses root): as
// root the user reradav-test, made when missing; otherwise this user. Programs started with
// Run() join that session as that user.
class SwayDesk {
  public:
    ~SwayDesk();
    // False with a reason when sway or wev is missing or did not start.
    bool Start(std::string* error);
    // Starts a program as the session's user with its environment and `env` added, standard
    // error to Folder()/<name>.log.
    pid_t Run(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::string>& env = {});
    // Gives a file (a pty, a settings file) to the session's user.
    void Give(const std::string& path) const;
    // What wev received: the text of every key pressed, other keys as <Keysym>, modifiers left
    // out; with `keysDown`, how many presses came without their release are added to it.
    std::string Received(int* keysDown = nullptr) const;
    // Whether sway shows a window of this app id (within ten seconds).
    bool HasWindow(const std::string& appId);
    const TempFolder& Folder() const { return folder_; }

  private:
    TempFolder folder_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::vector<pid_t> started_;
};

}  // namespace reradav::test
