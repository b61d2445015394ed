#include "shell/win32ui/TrayIcon.h"

#include <shellapi.h>

namespace reradav {

bool TrayIcon::Show(HICON icon, const std::wstring& tip) {
    icon_ = icon;
    tip_ = tip;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callback_;
    data.hIcon = icon;
    lstrcpynW(data.szTip, tip.c_str(), ARRAYSIZE(data.szTip));
    if (shown_ && ::Shell_NotifyIconW(NIM_MODIFY, &data)) {
        return true;
    }
    shown_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    return shown_;
}

void TrayIcon::Remove() {
    if (!shown_) {
        return;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = 1;
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    shown_ = false;
}

void TrayIcon::AddAgain() {
    shown_ = false;
    if (icon_ != nullptr) {
        Show(icon_, tip_);
    }
}

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

}  // namespace reradav
