#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "common/EventLoop.h"
#include "serial/ComDevices.h"
#include "serial/SerialPortBase.h"

namespace reradav {

class SerialLink;

// The DCB for a line setting, flow-control mode and the DTR and RTS lines, on top of what the
// device reported: binary, NUL bytes kept, DSR ignored by the driver, reads never aborted by a
// line error. Kept apart from the device so it can be checked without one. Returns false when a
// DCB cannot express the setting (1.5 stop bits with 6-8 data bits, 2 with 5 data bits) or the
// mode is not a flow-control mode.
bool ApplyPortDcb(DCB& dcb, const PortSettings& settings, std::int16_t handshaking, bool dtr,
                  bool rts);

// Names the parts of `wanted` that `actual` lost ("baud rate, parity"); empty when they agree.
std::string DcbMismatch(const DCB& wanted, const DCB& actual);

// The caption's words for a port CreateFile could not open: Windows ports are exclusive, and
// "access denied" means another program has it.
std::string OpenErrorText(const std::string& name, DWORD error);

// `SerialComponent` over a Windows COM port. A thread of the port's own does the overlapped
// reads and writes; what it finds reaches the loop's thread through `EventLoop::Post`, so
// `OnComm` and the other handlers run there only. `Error::number` is errno-style, as the port
// control's reopen decision expects.
class Win32SerialPort : public SerialPortBase {
  public:
    // COMn is \\.\COMn (COM1-COM16) unless `devices` has a `Device<n>`: "COM23", "\\.\COM23" and
    // other bare device names work. `devices` is consulted at each opening and, like `loop`,
    // must outlive this object.
    Win32SerialPort(const ComDevices& devices, EventLoop& loop);
    ~Win32SerialPort() override;

    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    bool PortOpen() const override { return link_ != nullptr; }
    // Polls DSR (GetCommModemStatus) while open: Opto-RS mode only, the others need no wake-ups.
    void SetWatchDsr(bool watch) override;

    void Output(std::string_view bytes) override;

    // The device CreateFile is given for COMn; empty when there is none.
    std::string DeviceFor(int port) const;

  private:
    bool Open() override;
    void Close() override;
    bool ApplyLine() override;
    void CollectReceived() override;
    // Which parts of the wanted line the driver refuses on their own.
    std::string RefusedParts(const DCB& current, const DCB& wanted);
    // Runs on the loop's thread for what the link announced.
    void OnNews(const std::shared_ptr<SerialLink>& link);
    void ReportDrop(std::size_t bytes, int number, const std::string& why);
    void HangUp(DWORD error);
    void StartDsrWatch();
    void PollDsr();

    const ComDevices& devices_;
    EventLoop& loop_;

    std::shared_ptr<SerialLink> link_;  // the open port; posted calls hold it weakly
    bool delivering_ = false;           // OnComm runs: a nested announcement waits for it
    std::string name_;                  // "COM16", for the messages
    bool watchDsr_ = false;
    std::optional<bool> dsr_;  // last DSR state seen; nullopt when it cannot be read
    std::unique_ptr<EventLoop::Timer> dsrTimer_;
};

}  // namespace reradav
