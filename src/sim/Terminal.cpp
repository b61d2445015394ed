#include "sim/Terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace reradav::sim {
namespace {

volatile sig_atomic_t g_quitSignal = 0;

void OnQuit(int signal) {
    g_quitSignal = signal;
}

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

constexpr std::chrono::milliseconds kDrainPoll{10};

}  // namespace

bool QuitRequested() {
    return g_quitSignal != 0;
}

int QuitSignal() {
    return g_quitSignal;
}

void InstallQuitHandlers() {
    struct sigaction action {};
    action.sa_handler = OnQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read or write returns EINTR
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(s, &action, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
}

Terminal::~Terminal() {
    for (int fd : {inotify_, slave_, master_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool Terminal::Open(std::string* error) {
    struct termios raw {};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    char name[256] = {};
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        *error = Reason("cannot create a pseudo-terminal");
        return false;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    slavePath_ = name;
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0 || inotify_add_watch(inotify_, name, IN_OPEN | IN_CLOSE) < 0) {
        *error = Reason("cannot watch " + slavePath_);
        return false;
    }
    return true;
}

int Terminal::Readers() {
    alignas(inotify_event) char buffer[4096];
    bool closed = false;
    for (;;) {
        const ssize_t n = read(inotify_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN) {
                ++readers_;
            }
            if (event->mask & IN_CLOSE) {
                --readers_;
                closed = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // A reader that was killed never took back the exclusive mode it set, and our descriptor
    // keeps the terminal and the mode alive: with no reader left, the next one may open it.
    if (closed && readers_ <= 0) {
        ioctl(slave_, TIOCNXCL);
    }
    return readers_;
}

bool Terminal::Poll(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

bool Terminal::WaitOpen(std::optional<std::chrono::milliseconds> timeout, std::string* error) {
    const auto until = timeout ? Now() + *timeout : Nanos::max();
    while (Readers() <= 0) {
        if (QuitRequested()) {
            *error = "stopped";
            return false;
        }
        const Nanos left = until - Now();
        if (left <= Nanos::zero()) {
            *error = "nothing opened " + slavePath_ + " in time";
            return false;
        }
        const auto wait = std::min<Nanos>(left, std::chrono::seconds(1));
        Poll(inotify_, std::chrono::ceil<std::chrono::milliseconds>(wait));
    }
    return true;
}

int Terminal::Unread() const {
    // Bytes written reach the line discipline through a work queue; polling the slave waits
    // for that work when nothing is readable yet, so the count below includes them.
    pollfd p{slave_, POLLIN, 0};
    poll(&p, 1, 0);
    int count = 0;
    if (ioctl(slave_, TIOCINQ, &count) != 0) {
        return 0;
    }
    return count;
}

bool Terminal::Drain(std::string* error) {
    for (;;) {
        const int unread = Unread();
        if (unread == 0) {
            return true;
        }
        if (Readers() <= 0) {
            // The count lags while the last bytes are still on their way to the queue.
            int most = unread;
            for (int i = 0; i < 3; ++i) {
                Poll(inotify_, kDrainPoll);
                most = std::max(most, Unread());
            }
            *error =
                std::to_string(most) + " bytes were not read: nothing has " + slavePath_ + " open";
            return false;
        }
        if (QuitRequested()) {
            *error = "stopped";
            return false;
        }
        Poll(inotify_, kDrainPoll);
    }
}

Nanos Terminal::Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + Nanos(ts.tv_nsec);
}

bool Terminal::SleepUntil(Nanos deadline) {
    Readers();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadline.count() / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(deadline.count() % 1'000'000'000);
    for (;;) {
        if (QuitRequested()) {
            return false;
        }
        const int rc = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
        if (rc == 0) {
            return !QuitRequested();
        }
        if (rc != EINTR) {
            return false;
        }
    }
}

bool Terminal::Write(char byte) {
    for (;;) {
        if (write(master_, &byte, 1) == 1) {
            return true;
        }
        if (errno != EINTR || QuitRequested()) {
            return false;
        }
    }
}

TerminalLink::~TerminalLink() {
    if (path_.empty()) {
        return;
    }
    char target[4096];
    const ssize_t n = readlink(path_.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == target_) {
        unlink(path_.c_str());
    }
}

bool TerminalLink::Make(const std::string& path, const std::string& target, std::string* error) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (symlink(target.c_str(), path.c_str()) == 0) {
            path_ = path;
            target_ = target;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            continue;
        }
        if (!S_ISLNK(st.st_mode)) {
            *error = "refusing to replace " + path + ": it is not a symbolic link";
            return false;
        }
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            break;
        }
    }
    *error = Reason("cannot make the link " + path);
    return false;
}

}  // namespace reradav::sim
