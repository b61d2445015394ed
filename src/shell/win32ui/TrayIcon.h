#pragma once

#include <windows.h>

#include <string>

namespace reradav {

// The program's icon in the notification area. Mouse events on it arrive at the owner window
// as `callbackMessage` with the mouse message (WM_LBUTTONDBLCLK, WM_RBUTTONUP, ...) in lParam.
class TrayIcon {
  public:
    TrayIcon(HWND owner, UINT callbackMessage) : owner_(owner), callback_(callbackMessage) {}
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon, or changes its picture and tool tip; false when the shell has no
    // notification area (yet).
    bool Show(HICON icon, const std::wstring& tip);
    void Remove();
    bool Shown() const { return shown_; }
    // Explorer restarted (the message it broadcasts, TaskbarCreated): its new notification area
    // has none of the old icons; this one is added again.
    void AddAgain();
    static UINT TaskbarCreatedMessage();

  private:
    HWND owner_;
    UINT callback_;
    HICON icon_ = nullptr;
    std::wstring tip_;
    bool shown_ = false;
};

}  // namespace reradav
