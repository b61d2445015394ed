#include "keys/linux/KeymapGuard.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <sstream>

extern char** environ;

namespace reradav {
namespace {

std::vector<std::string>& GuardCommand() {
    static std::vector<std::string> command;
    return command;
}

}  // namespace

void KeymapGuard::SetCommand(std::vector<std::string> command) {
    GuardCommand() = std::move(command);
}

KeymapGuard::~KeymapGuard() {
    if (socket_ >= 0) {
        ::close(socket_);  // the guard's end of input: it clears what is left, then exits
    }
    if (pid_ > 0) {
        waitpid(pid_, nullptr, 0);
    }
}

void KeymapGuard::Lent(unsigned keycode, unsigned long keysym) {
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
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            pid_ = pid;
            socket_ = ends[0];
        } else {
            ::close(ends[0]);
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
    }
    Tell(std::to_string(keycode) + " " + std::to_string(keysym) + "\n");
}

void KeymapGuard::Returned(unsigned keycode) {
    Tell(std::to_string(keycode) + " 0\n");
}

// A guard that died leaves the loans unguarded, nothing worse; MSG_NOSIGNAL spares us SIGPIPE.
void KeymapGuard::Tell(const std::string& line) {
    if (socket_ >= 0 && send(socket_, line.data(), line.size(), MSG_NOSIGNAL) < 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

int RunKeymapGuard(const char* displayName) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        ::signal(signal, SIG_IGN);
    }
    std::map<unsigned, unsigned long> lent;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream fields(line);
        unsigned keycode = 0;
        unsigned long keysym = 0;
        if (fields >> keycode >> keysym) {
            if (keysym == 0) {
                lent.erase(keycode);
            } else {
                lent[keycode] = keysym;
            }
        }
    }
    if (lent.empty()) {
        return 0;
    }
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return 1;  // the server is gone, and its keymap with it
    }
    for (const auto& [keycode, keysym] : lent) {
        int perKey = 0;
        KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(keycode), 1, &perKey);
        bool ours = syms != nullptr && perKey > 1 && syms[0] == keysym && syms[1] == keysym;
        for (int i = 2; ours && i < perKey; ++i) {
            ours = syms[i] == NoSymbol || syms[i] == keysym;
        }
        if (syms != nullptr) {
            XFree(syms);
        }
        if (ours) {
            KeySym none[2] = {NoSymbol, NoSymbol};
            XChangeKeyboardMapping(display, static_cast<int>(keycode), 2, none, 1);
        }
    }
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}

}  // namespace reradav
