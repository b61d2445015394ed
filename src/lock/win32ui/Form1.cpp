#include "lock/win32ui/Form1.h"

#include "common/win32ui/ResourceIds.h"
#include "lock/RestoreCheck.h"
#include "lock/win32ui/LockDialogs.h"

namespace reradav {

bool Form1::Show(HWND owner) {
    return RunModal(owner, IDD_FORM1) == IDOK;
}

bool Form1::OnInit() {
    for (int id : {IDC_PASSWORD1, IDC_PASSWORD2}) {
        SetUpPasswordBox(Item(id));
        SetItemText(id, settings_.Password);
    }
    CentreOnScreen(Handle());
    ::SetFocus(Item(IDC_PASSWORD1));
    return false;
}

bool Form1::OnCommand(int id, int code) {
    if (id == IDOK) {
        Command1_Click();
        return true;
    }
    return Dialog::OnCommand(id, code);
}

void Form1::Command1_Click() {
    const std::optional<std::string> password = PasswordText(Handle(), IDC_PASSWORD1);
    const std::optional<std::string> confirmed =
        password ? PasswordText(Handle(), IDC_PASSWORD2) : std::nullopt;
    if (!confirmed) {
        return;
    }
    if (*confirmed != *password) {
        ShowMessage(Handle(), kPasswordMismatch);
        return;
    }
    settings_.Password = *password;
    End(IDOK);
}

}  // namespace reradav
