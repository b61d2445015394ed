#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "sim/Pacing.h"

namespace reradav::sim {

// The pseudo-terminal a simulated scanner writes to. The simulator keeps a descriptor of the
// slave side itself: the raw line settings stay put between other programs' opens, bytes
// written before anyone opens it are kept, and TIOCINQ on it tells how many the reader has
// not read yet (the master cannot tell; closing the master discards them). Because of that
// descriptor the master never reports POLLHUP, so other programs' opens and closes are
// watched with inotify on the slave device instead.
class Terminal : public PacedLine {
  public:
    Terminal() = default;
    ~Terminal() override;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool Open(std::string* error);
    const std::string& SlavePath() const { return slavePath_; }

    // How many descriptors other programs hold open on the slave; the last one's close clears
    // the exclusive mode it may have left.
    int Readers();
    // Readable when another program opened or closed the slave: then call Readers().
    int WatchDescriptor() const { return inotify_; }
    // Until another program opens the slave; false on timeout or when told to quit.
    bool WaitOpen(std::optional<std::chrono::milliseconds> timeout, std::string* error);
    // Until every byte written has been read; false (with the count in `error`) when no other
    // program has the slave open to read them, or when told to quit.
    bool Drain(std::string* error);
    int Unread() const;

    Nanos Now() override;
    bool SleepUntil(Nanos deadline) override;
    bool Write(char byte) override;

  private:
    bool Poll(int fd, std::chrono::milliseconds timeout);

    int master_ = -1;
    int slave_ = -1;
    int inotify_ = -1;
    int readers_ = 0;
    std::string slavePath_;
};

// Set from the signal handler: SIGINT, SIGTERM or SIGHUP asked the simulator to stop.
bool QuitRequested();
void InstallQuitHandlers();
int QuitSignal();

// A symbolic link to the terminal; removed on destruction when it still points there.
class TerminalLink {
  public:
    TerminalLink() = default;
    ~TerminalLink();
    TerminalLink(const TerminalLink&) = delete;
    TerminalLink& operator=(const TerminalLink&) = delete;

    // Replaces an existing symbolic link, never anything else.
    bool Make(const std::string& path, const std::string& target, std::string* error);

  private:
    std::string path_;
    std::string target_;
};

}  // namespace reradav::sim
