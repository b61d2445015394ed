#pragma once

#include <functional>

#include "common/AppSettings.h"
#include "common/win32ui/Dialog.h"
#include "serial/PortControl.h"
#include "serial/SerialComponent.h"

namespace reradav {

// The port settings dialog: line settings, flow control and the scanner beep string. It keeps
// nothing of its own: every showing loads the values from AppSettings, OK writes them back and
// re-opens an open port with them, Cancel, Esc and the close box store nothing.
class PortSetup : public Dialog {
  public:
    // The references must outlive the dialog. `serial` is only asked whether the port is open;
    // `showHelp` opens the help document.
    PortSetup(AppSettings& settings, const SerialComponent& serial, PortControl& port,
              std::function<void()> showHelp)
        : settings_(settings), serial_(serial), port_(port), showHelp_(std::move(showHelp)) {}

    // Modal, placed beside `owner`; true after OK.
    bool Show(HWND owner);

  private:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OK_Button_Click();

    AppSettings& settings_;
    const SerialComponent& serial_;
    PortControl& port_;
    std::function<void()> showHelp_;
    HWND owner_ = nullptr;
};

}  // namespace reradav
