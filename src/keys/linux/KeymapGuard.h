#pragma once

#include <string>
#include <vector>

namespace reradav {

// The X11 keyboard lends empty keys of the user's keymap to characters that have none, and
// takes them back itself when it ends in order. For an end without order (SIGKILL), a child
// process learns of each loan and, once the socket to us closes, clears the keys still lent.
class KeymapGuard {
  public:
    // The program and arguments that run RunKeymapGuard, set once by the program's main; the
    // display name is added. Without it (tests) there is no guard.
    static void SetCommand(std::vector<std::string> command);

    explicit KeymapGuard(std::string displayName) : displayName_(std::move(displayName)) {}
    ~KeymapGuard();
    KeymapGuard(const KeymapGuard&) = delete;
    KeymapGuard& operator=(const KeymapGuard&) = delete;

    // The guard starts with the first loan.
    void Lent(unsigned keycode, unsigned long keysym);
    void Returned(unsigned keycode);

  private:
    void Tell(const std::string& line);

    std::string displayName_;
    int socket_ = -1;
    int pid_ = -1;
    bool started_ = false;
};

// The guard's main: reads "keycode keysym" lines (keysym 0: returned) from standard input, and
// when it ends, clears each key that still holds the keysym lent to it. Quit signals are
// ignored: the program takes its keys back itself on those. Returns the exit status.
int RunKeymapGuard(const char* displayName);

}  // namespace reradav
