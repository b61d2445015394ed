#pragma once

#include <optional>

#include "serial/ComDevices.h"
#include "serial/SerialComponent.h"

namespace reradav {

// What every platform's serial port shares: the component's properties, a line change that puts
// the old line back when the device refuses the new one, the handlers, and received bytes
// handed out in `InputLen` pieces. A platform opens, closes and programs the device.
class SerialPortBase : public SerialComponent {
  public:
    bool SetPortOpen(bool open) override;
    void SetCommPort(std::int16_t port) override { commPort_ = port; }
    bool SetSettings(const std::string& settings) override;
    void SetDTREnable(bool enable) override;
    void SetHandshaking(std::int16_t mode) override;
    void SetRTSEnable(bool enable) override;

    std::int16_t CommEvent() const override { return commEvent_; }
    void SetInputLen(std::int16_t length) override;
    int InBufferCount() override;
    std::string Input() override;

    Error LastError() const override { return lastError_; }

    void SetOnComm(std::function<void()> handler) override { onComm_ = std::move(handler); }
    void SetOnHangUp(std::function<void()> handler) override { onHangUp_ = std::move(handler); }
    void SetOnOutputDropped(std::function<void(const std::string&)> handler) override {
        onOutputDropped_ = std::move(handler);
    }

  protected:
    virtual bool Open() = 0;
    virtual void Close() = 0;
    // Programs the open device with settings_ and handshaking_ (and the modem lines).
    virtual bool ApplyLine() = 0;
    // Sets DTR and RTS on the open device as dtr_ and rts_ say.
    virtual bool ApplyModemLines() { return ApplyLine(); }
    // Why the platform has no such rate; nullopt when it may have it.
    virtual std::optional<std::string> RateRefusal(int /*baud*/) const { return std::nullopt; }
    // Moves what the device has received into rx_.
    virtual void CollectReceived() {}

    bool Fail(int number, std::string description);

    std::int16_t commPort_ = 1;
    PortSettings settings_;
    bool dtr_ = false;
    bool rts_ = false;
    std::int16_t handshaking_ = comNone;
    std::int16_t inputLen_ = 0;
    std::int16_t commEvent_ = 0;
    Error lastError_;
    std::string rx_;  // received, not yet taken by Input()
    std::function<void()> onComm_;
    std::function<void()> onHangUp_;
    std::function<void(const std::string&)> onOutputDropped_;

  private:
    bool ChangeLine(const PortSettings& settings, std::int16_t handshaking);
};

}  // namespace reradav
