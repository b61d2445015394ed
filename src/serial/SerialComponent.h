#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace reradav {

// The serial component of the main window (`MSComm1`): the members the program uses, with the
// component's own names. The Linux implementation wraps a termios device; tests use a fake.
class SerialComponent {
  public:
    // `CommEvent` codes that the receive handler acts on; every other code is ignored.
    static constexpr std::int16_t comEvReceive = 2;
    static constexpr std::int16_t comEvDSR = 4;

    // `Handshaking` modes: the component's own numbering.
    static constexpr std::int16_t comNone = 0;
    static constexpr std::int16_t comXOnXOff = 1;
    static constexpr std::int16_t comRTS = 2;
    static constexpr std::int16_t comRTSXOnXOff = 3;

    struct Error {
        int number = 0;           // errno-style number, 0 when there is no error
        std::string description;  // plain words for the window caption
    };

    virtual ~SerialComponent() = default;

    virtual bool PortOpen() const = 0;
    // Opening applies `CommPort`, `Settings`, `DTREnable`, `Handshaking` and `RTSEnable`.
    // Returns false when the port could not be opened (or closed); LastError() says why.
    virtual bool SetPortOpen(bool open) = 0;
    virtual void SetCommPort(std::int16_t port) = 0;
    // Returns false, with LastError() set, when the text is not a line-settings string the
    // component can use; the previous settings then stay.
    virtual bool SetSettings(const std::string& settings) = 0;
    virtual void SetDTREnable(bool enable) = 0;
    virtual void SetHandshaking(std::int16_t mode) = 0;
    virtual void SetRTSEnable(bool enable) = 0;
    // Watch the DSR line and raise `OnComm` with `comEvDSR` on each change; only the Opto-RS
    // mode needs it.
    virtual void SetWatchDsr(bool watch) = 0;

    virtual std::int16_t CommEvent() const = 0;
    virtual void SetInputLen(std::int16_t length) = 0;
    virtual int InBufferCount() = 0;
    // Binary input: every byte waiting (up to `InputLen` when that is not 0), in order.
    virtual std::string Input() = 0;
    // Each character (code 0..255) goes out as one byte, in order. Never waits: bytes the
    // line cannot take yet (flow control) are queued.
    virtual void Output(std::string_view bytes) = 0;

    virtual Error LastError() const = 0;

    // `OnComm`: called on the user-interface thread whenever received data is waiting or a
    // watched modem line (DSR) changed; the handler reads `CommEvent`.
    virtual void SetOnComm(std::function<void()> handler) = 0;
    // Called once when an open port is lost (USB scanner unplugged, hang-up): the port is then
    // closed and LastError() says why.
    virtual void SetOnHangUp(std::function<void()> handler) = 0;
    // Called when queued output was dropped because the device took none of it for a while;
    // the argument says how much and why.
    virtual void SetOnOutputDropped(std::function<void(const std::string& why)> handler) = 0;
};

}  // namespace reradav
