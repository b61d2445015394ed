#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace reradav::test {

// The full path of a program on $PATH.
std::optional<std::string> FindProgram(const std::string& name);
// Starts a program; its standard output goes to `stdoutFd` when not -1, its errors to
// /dev/null. -1 when it cannot be started.
pid_t Spawn(const std::string& program, std::vector<std::string> args, int stdoutFd = -1);
// Runs a program to its end; its exit status, or -1.
int RunToEnd(const std::string& program, const std::vector<std::string>& args);
void Stop(pid_t pid);
// Exit status, or -1 if the process was killed or did not end in time (it is then killed).
int WaitForExit(pid_t pid, std::chrono::milliseconds limit);

// Polls `done` until it holds; false when the time ran out first.
template <typename Done>
bool WaitUntil(Done done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A private X server (-noreset keeps a layout set with setxkbmap); it picks a free display.
class XvfbServer {
  public:
    XvfbServer() = default;
    ~XvfbServer() { Stop(pid_); }
    // The server dies, as at a logout that ends X first.
    void Kill() { Stop(std::exchange(pid_, -1)); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // False with a reason when Xvfb is missing or did not start.
    bool Start(std::string* error);
    const std::string& Display() const { return display_; }
    bool SetLayout(const std::string& layout, const std::string& variant = "",
                   const std::string& options = "");
    // Locks the group when one is given, as a group switch key does; the group locked then.
    unsigned Group(std::optional<unsigned> lock = std::nullopt) const;
    // The core keymap, then "down:" and the keys held down, to compare before and after.
    std::string KeyboardSnapshot() const;

  private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace reradav::test
