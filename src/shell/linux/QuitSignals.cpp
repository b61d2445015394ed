#include "shell/linux/QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <utility>

namespace reradav {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler's only state: lock-free, so reading it in the handler is async-signal-safe.
std::atomic<int> gWriteFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

std::array<struct sigaction, kSignals.size()> gPrevious{};

void OnSignal(int signal) {
    const int savedErrno = errno;
    const int fd = gWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const char byte = static_cast<char>(signal);
        // Non-blocking: with the pipe full the byte is dropped, one waiting already says enough.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onQuit) : onQuit_(std::move(onQuit)) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    gWriteFd.store(writeFd_);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a signal must not turn a read elsewhere in the program into an error.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &gPrevious[i]);
    }
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Drain(); });
}

QuitSignals::~QuitSignals() {
    if (writeFd_ < 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
    gWriteFd.store(-1);
    notifier_.reset();
    ::close(readFd_);
    ::close(writeFd_);
}

void QuitSignals::Drain() {
    char buffer[256];
    while (::read(readFd_, buffer, sizeof buffer) > 0) {
    }
    if (quitting_) {
        return;
    }
    quitting_ = true;
    if (onQuit_) {
        onQuit_();
    }
}

}  // namespace reradav
