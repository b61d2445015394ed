#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace reradav {

// X clients read a keycode's keysym when they process its event, with the keymap of that moment:
// a lent key is not changed for this long after its last use, so a client that many seconds
// behind (a spreadsheet recalculating, a form submitting) still reads what was typed.
constexpr std::uint32_t kLentKeyKeepMs = 5000;

// The X11 keyboard lends empty keys of the user's keymap to characters that have none, holds
// keys down, and locks another group for a character found there; it undoes all of it itself
// when it ends in order. For an end without order (SIGKILL), a child process learns of each
// change and, once the socket to us closes, releases the keys still down, puts the user's group
// back and clears the keys still lent.
class KeymapGuard {
  public:
    // The program and arguments that run RunKeymapGuard, set once by the program's main; the
    // display name is added. Without it (tests) there is no guard.
    static void SetCommand(std::vector<std::string> command);

    explicit KeymapGuard(std::string displayName) : displayName_(std::move(displayName)) {}
    // Without Quit(), the guard undoes everything at once.
    ~KeymapGuard();
    KeymapGuard(const KeymapGuard&) = delete;
    KeymapGuard& operator=(const KeymapGuard&) = delete;

    // Each is told before the change it guards against (a guard that knows of a loan not yet
    // made finds the key not holding it and leaves it); a return after the server has it.
    void Lent(unsigned keycode, const std::vector<std::uint32_t>& keysyms);
    void Returned(unsigned keycode);
    void Pressed(unsigned keycode, bool down);
    // The user's group while another is locked for a key; nullopt once it is back.
    void GroupLocked(std::optional<std::uint32_t> userGroup);
    // An orderly end: the loans still kept are cleared kLentKeyKeepMs after the last key event.
    void Quit();
    // Whether a guard process runs and hears us.
    bool Running() const { return socket_ >= 0; }

  private:
    void Tell(const std::string& line);

    std::string displayName_;
    int socket_ = -1;
    bool started_ = false;
};

// The guard's main: reads the changes from standard input, one a line, and when it ends undoes
// what is left. Quit signals are ignored: the program undoes its changes itself on those.
// Returns the exit status.
int RunKeymapGuard(const char* displayName);

// Gives the key the keysyms, one per level (0: the level is not lent; none at all clears it).
void MapLentKey(_XDisplay* display, unsigned keycode, const std::vector<std::uint32_t>& keysyms);
// Whether the key holds exactly what MapLentKey gave it: a key that holds anything else was
// remapped since (setxkbmap, xmodmap) and is the user's again.
bool HoldsLent(_XDisplay* display, unsigned keycode, const std::vector<std::uint32_t>& keysyms);

}  // namespace reradav
