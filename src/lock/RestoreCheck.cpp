#include "lock/RestoreCheck.h"

#include "common/ScopedFlag.h"

namespace reradav {

void RestoreCheck::Form_Resize() {
    if (inResize_) {
        return;
    }
    {
        ScopedFlag guard(inResize_);
        if (flag_.WasMinimised() && !unlocked_) {
            if (settings_.Password.empty()) {
                // Restored as the user asked; the next state change updates the flag.
                return;
            }
            window_.HideWindow();
            const std::string entered = window_.AskPassword();
            if (entered != settings_.Password) {
                if (!entered.empty()) {
                    window_.ShowInvalidPassword();
                }
                flag_.ClearWasMinimised();
                window_.SetWindowState(kStateMinimised);
            } else {
                window_.SetWindowState(kStateNormal);
            }
            window_.ShowWindow();
        }
        flag_.ClearWasMinimised();
    }
    // Outside the guard, as before: hiding may resize again, which then finds nothing to do.
    // Without a tray icon a hidden window could never be restored, so it stays minimised.
    if (window_.WindowState() == kStateMinimised && window_.HasTrayIcon()) {
        window_.HideWindow();
    }
}

void RestoreCheck::Form_MouseMove(TrayEvent event) {
    if (window_.WindowState() != kStateMinimised) {
        return;
    }
    switch (event) {
        case TrayEvent::DoubleClick:
            window_.ShowAboutModeless();
            break;
        case TrayEvent::ContextMenu:
            window_.ShowTrayMenu();
            break;
        case TrayEvent::Other:
            break;
    }
}

// The password is asked before the window shows: shown only to be hidden again, it would show
// its contents behind the prompt, and a refusal would leave it to the window system's timing.
void RestoreCheck::mnuOpen_Click() {
    if (window_.WindowState() != kStateMinimised) {
        window_.BringToFront();
        return;
    }
    if (!settings_.Password.empty()) {
        const std::string entered = window_.AskPassword();
        if (entered != settings_.Password) {
            if (!entered.empty()) {
                window_.ShowInvalidPassword();
            }
            return;  // still in the tray, and saved so
        }
    }
    ScopedFlag unlocked(unlocked_);
    window_.ShowWindow();
    window_.SetWindowState(kStateNormal);
}

}  // namespace reradav
