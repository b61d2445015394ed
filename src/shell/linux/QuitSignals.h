#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace reradav {

// SIGTERM, SIGINT and SIGHUP (logout, systemctl stop, Ctrl+C) end the program the orderly way:
// the handler only writes to a pipe, and `onQuit` runs later from the event loop of the thread
// that made this object, once, on the first of them. Later signals are absorbed while the
// program ends, so that a second Ctrl+C cannot cut the settings save short. One object at a
// time; its destructor restores the previous handlers.
class QuitSignals {
  public:
    explicit QuitSignals(std::function<void()> onQuit);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // False when the pipe or the handlers could not be set up (the signals then act as before).
    bool Installed() const { return notifier_ != nullptr; }

  private:
    void Drain();

    std::function<void()> onQuit_;
    bool quitting_ = false;
    int readFd_ = -1;
    int writeFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace reradav
