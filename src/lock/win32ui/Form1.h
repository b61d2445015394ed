#pragma once

#include "common/AppSettings.h"
#include "common/win32ui/Dialog.h"

namespace reradav {

// Sets the password that guards restoring the main window from the tray. Opens with the
// current password in both boxes; OK stores Text1 when the two agree (both empty removes the
// password), Cancel changes nothing.
class Form1 : public Dialog {
  public:
    explicit Form1(AppSettings& settings) : settings_(settings) {}
    // Modal, centred on the screen; true after OK. The owner is kept from input meanwhile, so
    // no other dialog of it opens over the password.
    bool Show(HWND owner);

  private:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;
    void Command1_Click();

    AppSettings& settings_;
};

}  // namespace reradav
