#include "keys/linux/KeymapGuard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "keys/linux/XErrors.h"

extern char** environ;

namespace reradav {
namespace {

std::vector<std::string>& GuardCommand() {
    static std::vector<std::string> command;
    return command;
}

// A lone keysym goes on both levels: a lone letter would stand for its lower case unshifted and
// its upper case shifted.
std::vector<KeySym> CoreKeysyms(const std::vector<std::uint32_t>& keysyms) {
    if (keysyms.empty() || keysyms[0] == NoSymbol) {
        return {NoSymbol, NoSymbol};
    }
    return {keysyms[0], keysyms.size() > 1 && keysyms[1] != NoSymbol ? keysyms[1] : keysyms[0]};
}

}  // namespace

void KeymapGuard::SetCommand(std::vector<std::string> command) {
    GuardCommand() = std::move(command);
}

// The guard is not waited for: after Quit() it may keep loans for a few seconds more, and it
// ends by itself.
KeymapGuard::~KeymapGuard() {
    if (socket_ >= 0) {
        ::close(socket_);
    }
}

void KeymapGuard::Lent(unsigned keycode, const std::vector<std::uint32_t>& keysyms) {
    const std::vector<KeySym> core = CoreKeysyms(keysyms);
    Tell("L " + std::to_string(keycode) + " " + std::to_string(core[0]) + " " +
         std::to_string(core[1]) + "\n");
}

void KeymapGuard::Returned(unsigned keycode) {
    Tell("R " + std::to_string(keycode) + "\n");
}

void KeymapGuard::Pressed(unsigned keycode, bool down) {
    Tell((down ? "D " : "U ") + std::to_string(keycode) + "\n");
}

void KeymapGuard::GroupLocked(std::optional<std::uint32_t> userGroup) {
    Tell(userGroup ? "G " + std::to_string(*userGroup) + "\n" : "G -\n");
}

void KeymapGuard::Quit() {
    Tell("Q\n");
}

// Started with the first change. A guard that died leaves the changes unguarded, nothing worse;
// MSG_NOSIGNAL spares us SIGPIPE.
void KeymapGuard::Tell(const std::string& line) {
    if (!started_ && !GuardCommand().empty()) {
        started_ = true;
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            return;
        }
        std::vector<std::string> command = GuardCommand();
        command.push_back(displayName_);
        std::vector<char*> argv;
        for (std::string& arg : command) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
        // Nothing else of ours: a copy of the serial port would keep the device open.
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        // Its own process group: a Ctrl+C at the terminal is ours to handle, not the guard's.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) == 0) {
            socket_ = ends[0];
        } else {
            ::close(ends[0]);
        }
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
    }
    if (socket_ >= 0 && send(socket_, line.data(), line.size(), MSG_NOSIGNAL) < 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

void MapLentKey(Display* display, unsigned keycode, const std::vector<std::uint32_t>& keysyms) {
    std::vector<KeySym> core = CoreKeysyms(keysyms);
    XChangeKeyboardMapping(display, static_cast<int>(keycode), 2, core.data(), 1);
}

bool HoldsLent(Display* display, unsigned keycode, const std::vector<std::uint32_t>& keysyms) {
    const std::vector<KeySym> core = CoreKeysyms(keysyms);
    int perKey = 0;
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(keycode), 1, &perKey);
    // The server may repeat the two levels in the columns of other groups.
    bool holds = syms != nullptr && perKey > 1 && syms[0] == core[0] && syms[1] == core[1];
    for (int i = 2; holds && i < perKey; ++i) {
        holds = syms[i] == NoSymbol || syms[i] == core[0] || syms[i] == core[1];
    }
    if (syms != nullptr) {
        XFree(syms);
    }
    return holds;
}

int RunKeymapGuard(const char* displayName) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        ::signal(signal, SIG_IGN);
    }
    // What each lent key may hold: the last loan, and the one before in case the program died
    // between telling and changing.
    std::map<unsigned, std::vector<std::vector<std::uint32_t>>> lent;
    std::vector<unsigned> down;
    std::optional<unsigned> group;
    bool orderly = false;
    auto lastKeyEvent = std::chrono::steady_clock::now();
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream fields(line);
        char what = 0;
        std::string value;
        unsigned keycode = 0;
        fields >> what;
        if (what == 'Q') {
            orderly = true;
        } else if (what == 'G' && fields >> value) {
            unsigned locked = 0;
            group = std::istringstream(value) >> locked ? std::optional<unsigned>(locked)
                                                        : std::nullopt;  // "-": back
        } else if (fields >> keycode) {
            std::uint32_t first = 0;
            std::uint32_t second = 0;
            if (what == 'L' && fields >> first >> second) {
                auto& kept = lent[keycode];
                if (kept.size() > 1) {
                    kept.erase(kept.begin());
                }
                kept.push_back({first, second});
            } else if (what == 'R') {
                lent.erase(keycode);
            } else if (what == 'D' || what == 'U') {
                std::erase(down, keycode);
                if (what == 'D') {
                    down.push_back(keycode);
                }
                lastKeyEvent = std::chrono::steady_clock::now();
            }
        }
    }
    if (lent.empty() && down.empty() && !group) {
        return 0;
    }
    if (orderly) {
        std::this_thread::sleep_until(lastKeyEvent + std::chrono::milliseconds(kLentKeyKeepMs));
    }
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return 1;  // the server is gone, and its keymap with it
    }
    XErrors::Watch(display);
    char keys[32] = {};
    XQueryKeymap(display, keys);
    for (auto key = down.rbegin(); key != down.rend(); ++key) {
        if (*key < 256 && ((keys[*key / 8] >> (*key % 8)) & 1) != 0) {
            XTestFakeKeyEvent(display, *key, False, CurrentTime);
        }
    }
    if (group) {
        XkbLockGroup(display, XkbUseCoreKbd, *group);
    }
    for (const auto& [keycode, contents] : lent) {
        if (std::any_of(contents.begin(), contents.end(), [&](const auto& keysyms) {
                return HoldsLent(display, keycode, keysyms);
            })) {
            MapLentKey(display, keycode, {});
        }
    }
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}

}  // namespace reradav
