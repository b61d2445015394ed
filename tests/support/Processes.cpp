#include "support/Processes.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace reradav::test {

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

pid_t Spawn(const std::string& program, std::vector<std::string> args, int stdoutFd) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int RunToEnd(const std::string& program, const std::vector<std::string>& args) {
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = Spawn(program, args, quiet);
    close(quiet);
    return pid < 0 ? -1 : WaitForExit(pid, std::chrono::minutes(1));
}

void Stop(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

int WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool XvfbServer::Start(std::string* error) {
    const auto xvfb = FindProgram("Xvfb");
    if (!xvfb) {
        *error = "Xvfb is not installed";
        return false;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        *error = "no pipe";
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    pid_ = Spawn(*xvfb, {"-displayfd", std::to_string(fds[1]), "-noreset", "-nolisten", "tcp",
                         "-screen", "0", "640x480x24"});
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (pid_ < 0 || number.empty()) {
        *error = "Xvfb did not start";
        return false;
    }
    display_ = ":" + number;
    return true;
}

bool XvfbServer::SetLayout(const std::string& layout, const std::string& variant,
                           const std::string& options) {
    const auto setxkbmap = FindProgram("setxkbmap");
    return setxkbmap && RunToEnd(*setxkbmap, {"-display", display_, layout, "-variant", variant,
                                              "-option", "", "-option", options}) == 0;
}

unsigned XvfbServer::Group(std::optional<unsigned> lock) const {
    ::Display* display = XOpenDisplay(display_.c_str());
    XkbStateRec state{};
    lock ? void(XkbLockGroup(display, XkbUseCoreKbd, *lock)) : void();
    XkbGetState(display, XkbUseCoreKbd, &state);
    XCloseDisplay(display);
    return state.locked_group;
}

std::string XvfbServer::KeyboardSnapshot() const {
    ::Display* display = XOpenDisplay(display_.c_str());
    if (display == nullptr) {
        return "no display";
    }
    int first = 0;
    int last = 0;
    int perKey = 0;
    XDisplayKeycodes(display, &first, &last);
    KeySym* syms =
        XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perKey);
    std::string text;
    for (int i = 0; i < (last - first + 1) * perKey; ++i) {
        text += std::to_string(syms[i]) + " ";
    }
    XFree(syms);
    char keys[32] = {};
    XQueryKeymap(display, keys);
    text += "down:";
    for (int code = 0; code < 256; ++code) {
        if ((keys[code / 8] >> (code % 8)) & 1) {
            text += " " + std::to_string(code);
        }
    }
    XCloseDisplay(display);
    return text;
}

}  // namespace reradav::test
