#include "lock/win32ui/Form2.h"

#include "common/win32ui/ResourceIds.h"
#include "lock/win32ui/LockDialogs.h"

namespace reradav {

std::string Form2::Ask() {
    Form2 prompt;
    prompt.RunModal(nullptr, IDD_FORM2);
    return prompt.enteredPassword_;
}

// The prompt appears while the user works in another program, and a read completed while it is
// open must be typed into it: it takes the foreground.
bool Form2::OnInit() {
    SetUpPasswordBox(Item(IDC_PASSWORD1));
    CentreOnScreen(Handle());
    ::SetForegroundWindow(Handle());
    ::SetFocus(Item(IDC_PASSWORD1));
    return false;
}

bool Form2::OnCommand(int id, int code) {
    if (id == IDOK) {
        const std::optional<std::string> password = PasswordText(Handle(), IDC_PASSWORD1);
        if (password) {
            enteredPassword_ = *password;
            End(IDOK);
        }
        return true;
    }
    if (id == IDCANCEL) {
        enteredPassword_.clear();
    }
    return Dialog::OnCommand(id, code);
}

}  // namespace reradav
