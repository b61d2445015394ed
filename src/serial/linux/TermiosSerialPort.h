#pragma once

#include "serial/ComDevices.h"
#include "serial/SerialPortBase.h"
#include "serial/linux/UucpLock.h"

#include <termios.h>

#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;
class QTimer;

namespace reradav {

// Terminal attributes for a line setting and flow-control mode, on top of raw mode. Kept apart
// from the device so the flag arithmetic can be checked without hardware. Returns false when
// termios has no code for the rate or the setting cannot be expressed (1.5 stop bits).
bool ApplyPortTermios(termios& tio, const PortSettings& settings, std::int16_t handshaking);

// Names the parts of `wanted` that `actual` lost ("parity, data bits"); empty when they agree.
std::string TermiosMismatch(const termios& wanted, const termios& actual);

// `SerialComponent` over a Linux tty. Received bytes are announced through a QSocketNotifier and
// DSR through a QTimer, so a Qt event loop must run on the thread that owns the object.
class TermiosSerialPort : public SerialPortBase {
  public:
    // `devices` is consulted at each opening, so `Device<n>` changes apply to the next one;
    // it must outlive this object.
    explicit TermiosSerialPort(const ComDevices& devices);
    ~TermiosSerialPort() override;

    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    bool PortOpen() const override { return fd_ >= 0; }

    void Output(std::string_view bytes) override;

    // Raise `OnComm` with `comEvDSR` when DSR changes (Opto-RS mode). Off by default: polling a
    // modem line costs wake-ups that the other modes do not need.
    void SetWatchDsr(bool watch) override;
    bool WatchDsr() const { return watchDsr_; }

    // Where UUCP lock files are (tests).
    void SetLockDirectory(std::string directory) { lock_.SetDirectory(std::move(directory)); }
    // The device of the open port, empty when closed.
    const std::string& DevicePath() const { return path_; }

  protected:
    // TIOCMGET; returns 0 or an errno value. A seam for tests: a pseudo-terminal has no modem
    // lines.
    virtual int ReadModemLines(int fd, int& lines);

  private:
    bool Open() override;
    void Close() override;
    bool ApplyLine() override;
    bool ApplyModemLines() override;
    std::optional<std::string> RateRefusal(int baud) const override;
    void CollectReceived() override;
    void StartDsrWatch();
    void OnReadable();
    void PollDsr();
    // Moves waiting bytes into rx_; false when the device reported end of file or an error.
    bool Drain();
    void HangUp();
    // Writes what the line takes of tx_ now; the rest waits for the line.
    void SendQueued();
    void DropQueued(int err, const std::string& why);
    void StopSending();

    const ComDevices& devices_;

    int fd_ = -1;
    bool owned_ = false;  // flock and TIOCEXCL are ours: closing may reset the tty
    termios found_{};     // the line as it was found, put back at close
    UucpLock lock_;
    unsigned generation_ = 0;  // counts openings, so a callback can tell a reopened port apart
    std::string path_;
    bool watchDsr_ = false;
    std::optional<bool> dsr_;  // last DSR state seen; nullopt when it cannot be read
    std::unique_ptr<QSocketNotifier> notifier_;
    std::string tx_;  // for the device, not yet taken by it
    std::unique_ptr<QSocketNotifier> writable_;
    std::unique_ptr<QTimer> stall_;  // runs while tx_ waits and nothing of it is taken
    std::unique_ptr<QTimer> dsrTimer_;
};

}  // namespace reradav
