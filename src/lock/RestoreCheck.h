#pragma once

#include <cstdint>
#include <string>

#include "common/AppSettings.h"

namespace reradav {

// Window states as the settings file stores them.
constexpr std::int16_t kStateNormal = 0;
constexpr std::int16_t kStateMinimised = 1;
constexpr std::int16_t kStateMaximised = 2;

// The lock's messages.
constexpr const char* kPasswordMismatch =
    "Your confirming password does not match your password. Please re-enter.";
constexpr const char* kInvalidPassword = "Invalid password";

// What minimising, restoring and the tray icon need of the main window. The state pair has
// the same signature as in SettingsControls, so the main window implements both with one
// pair of functions.
class TrayWindow {
  public:
    virtual ~TrayWindow() = default;

    // 0 normal, 1 minimised, 2 maximised. Setting it may run Form_Resize again at once.
    virtual std::int16_t WindowState() const = 0;
    virtual void SetWindowState(std::int16_t state) = 0;
    virtual void HideWindow() = 0;
    virtual void ShowWindow() = 0;
    // Shows the password prompt (Form2) modally; the entered text, empty after Cancel.
    virtual std::string AskPassword() = 0;
    // The "Invalid password" message box.
    virtual void ShowInvalidPassword() = 0;
    // Whether a minimised window may hide in the tray: without a tray icon, or with a modal
    // dialog of the window open, a hidden window would have no way back.
    virtual bool HasTrayIcon() const = 0;

    // Tray actions.
    virtual void ShowAboutModeless() = 0;
    virtual void ShowTrayMenu() = 0;
    // Brings the shown main window to the front (activate and raise).
    virtual void BringToFront() = 0;
};

// Whether the window was minimised before its latest state change, which the resize handler
// reads and clears. The window keeps it itself, from each state change: a flag kept by the
// port's tick went stale once a lost port stopped the tick, and the lock with it.
class MinimisedFlag {
  public:
    virtual ~MinimisedFlag() = default;
    virtual bool WasMinimised() const = 0;
    virtual void ClearWasMinimised() = 0;
};

// What happened on the tray icon, as far as it matters here (QSystemTrayIcon's DoubleClick and
// Context activations; the menu is opened by Form_MouseMove, not attached to the icon, so that
// it stays shut while the window is shown).
enum class TrayEvent { DoubleClick, ContextMenu, Other };

// Minimise to the tray, restore from it behind the password, and the tray icon's actions.
class RestoreCheck {
  public:
    RestoreCheck(TrayWindow& window, const AppSettings& settings, MinimisedFlag& flag)
        : window_(window), settings_(settings), flag_(flag) {}

    // The main window's resize handler: runs on every change of its size or state (resize and
    // window-state-change events; showing and hiding need not run it). A minimised window goes
    // to the tray (unless there is no tray icon); a window being restored from the tray asks
    // for the password first when one is set.
    void Form_Resize();

    // The tray icon's callback: double-click shows the about box, the context request opens
    // the tray menu; nothing while the main window is shown.
    void Form_MouseMove(TrayEvent event);

    // "Open Reradav": a shown window comes to the front; a minimised one is shown and restored
    // once the password, when one is set, was given.
    void mnuOpen_Click();

  private:
    TrayWindow& window_;
    const AppSettings& settings_;
    MinimisedFlag& flag_;
    bool inResize_ = false;  // the handler's own state changes resize the window again
    bool unlocked_ = false;  // Open Reradav asked already
};

}  // namespace reradav
