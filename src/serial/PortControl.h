#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/AppSettings.h"
#include "common/MainWindowView.h"
#include "serial/ReceiveFraming.h"
#include "serial/SerialComponent.h"

namespace reradav {

// The framing timer (`Timer1`) as port control drives it.
class FramingTimer {
  public:
    virtual ~FramingTimer() = default;
    virtual void SetInterval(int milliseconds) = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

// Opens and closes the one serial port and shows the outcome in the window caption.
class PortControl {
  public:
    static constexpr const char* kInactiveCaption = "Reradav (Inactive)";
    // A failed or lost port: this, the component's words, then ")".
    static constexpr std::string_view kErrorCaption = "Reradav (Error: ";

    // What the status line says of the port for a caption: a window manager may cut a long
    // caption short, so a port error is there too, whole, until the port opens; "" otherwise.
    static std::string CaptionStatus(const std::string& caption);

    PortControl(AppSettings& settings, SerialComponent& serial, ReceiveFraming& framing,
                FramingTimer& timer, MainWindowView& window)
        : settings_(settings), serial_(serial), framing_(framing), timer_(timer), window_(window) {}

    // A choice in the port list: closes an open port, opens port n unless it is 0, and clears
    // the display.
    void SelectPort(std::int16_t n);
    // Closes the port when open, otherwise opens it with the current settings.
    void TogglePort();
    // New line settings and flow control (the port settings dialog's OK): an open port is
    // closed and opened again with them, a closed one is opened; a failure is shown like a
    // failed opening and leaves the port closed.
    void ReapplySettings();
    // The serial component lost its open port (hang-up): shown like a failed opening, and
    // what arrived before it is handled as a read now.
    void PortLost();

    // A port lost, or not opened because its device is missing, busy or not permitted, is
    // watched for: the handler is told to call RetryOpen about once a second until it opens.
    void SetOnWatch(std::function<void(bool watching)> handler) { onWatch_ = std::move(handler); }
    // Opens the chosen port again with the same settings, if it is still closed.
    void RetryOpen();

  private:
    void ApplyFlowControl();
    void ShowError();
    void Watch(bool watching);

    AppSettings& settings_;
    SerialComponent& serial_;
    ReceiveFraming& framing_;
    FramingTimer& timer_;
    MainWindowView& window_;
    std::function<void(bool)> onWatch_;
    bool watching_ = false;
};

}  // namespace reradav
