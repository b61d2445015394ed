#pragma once

#include <string>

#include "common/win32ui/Dialog.h"

namespace reradav {

// Asks for the password before the window leaves the tray: OK gives the text typed, Cancel
// the empty text.
class Form2 : public Dialog {
  public:
    // Modal, centred on the screen, in front of whatever the user is working in.
    static std::string Ask();

  private:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;

    std::string enteredPassword_;
};

}  // namespace reradav
