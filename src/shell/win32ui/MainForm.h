#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/AppSettings.h"
#include "common/MainWindowView.h"
#include "common/SettingsControls.h"
#include "common/StatusLine.h"
#include "common/win32ui/Dialog.h"
#include "engine/Engine.h"
#include "lock/RestoreCheck.h"
#include "serial/ComDevices.h"
#include "shell/SettingsStore.h"
#include "shell/win32ui/TrayIcon.h"
#include "shell/win32ui/frmAbout.h"

namespace reradav {

// The main window: port choice, preferences, the last read, the menus and the tray icon. Its
// controls are the one place the preferences live; the engine reads them at the moment of use.
// A modeless dialog, so the event loop gives it the dialog keys (Tab, mnemonics).
class MainForm : public Dialog, public MainWindowView, public SettingsControls, public TrayWindow {
  public:
    // `keyboard` replaces the session's keyboard (tests); without it the best one is opened.
    explicit MainForm(Beeper& beeper, std::unique_ptr<KeyboardPlatform> keyboard = nullptr);
    ~MainForm() override;

    // Start-up: fixed lists, built-in translation table, settings (which open the saved port)
    // and the window state, under a splash. Returns "" or why the settings file could not be
    // read.
    std::string Form_Load(const std::filesystem::path& settingsFile,
                          const std::string& commandLine);
    // After start-up: shown as the loaded state says, or left in the tray.
    void ShowAsLoaded();
    // Shutdown: every setting saved once and the tray icon removed. "" or why the save failed.
    std::string Form_Unload();
    // Saves the settings now (a dialog closed with OK); a failure shows on the status line.
    void SaveNow();
    // Brought forward from outside (a second start), as by the tray's "Open Reradav".
    void OpenFromOutside();
    // A quit from outside (log-off, shutdown): closed as by Exit, open dialogs cancelled, and a
    // failed save is not asked about, since no one may be there to answer.
    void Quit();
    // A line for the about box on where the settings came from (UTF-8); before Form_Load.
    void SetSettingsOrigin(std::string text) { origin_ = std::move(text); }

    AppSettings& Settings() { return settings_; }
    ComDevices& Devices() { return devices_; }
    Engine& Wedge() { return *engine_; }

    // The port settings dialog, which needs the rest of the program.
    std::function<void()> onPortSettings;
    // Start at the next logon (RunOnce), with the command.
    std::function<void(bool add, const std::string& command)> onRegisterStartup;
    // The window has closed and the settings are saved (status 0) or not (1).
    std::function<void(int status)> onClosed;

    // Menu and tray commands.
    void mPassword_Click();
    void HelpIndex_Click();
    void HelpAbout_Click();

    // MainWindowView
    bool IsActiveWindow() const override;
    void SetDisplay(const std::string& text) override;
    void SetCaption(const std::string& caption) override;
    void SetStatus(const std::string& subject, const std::string& text) override;

    // SettingsControls
    std::int16_t CheckBoxValue(CheckBox box) const override;
    void SetCheckBoxValue(CheckBox box, std::int16_t value) override;
    void RunBeepOnInputClick() override { BeepOnInput_Click(); }
    std::int16_t CboSoundListIndex() const override;
    void SetCboSoundListIndex(std::int16_t index) override;
    std::int16_t Combo1ListIndex() const override;
    void SetCombo1ListIndex(std::int16_t index) override;
    std::string TermKeyComboText() const override;
    void SetTermKeyComboText(const std::string& text) override;
    std::int16_t WindowState() const override;
    void SetWindowState(std::int16_t state) override;
    void RegisterStartup() override;

    // TrayWindow (the window-state pair is shared with SettingsControls)
    void HideWindow() override { ::ShowWindow(Handle(), SW_HIDE); }
    void ShowWindow() override;
    std::string AskPassword() override;
    void ShowInvalidPassword() override;
    bool HasTrayIcon() const override;
    void ShowAboutModeless() override;
    void ShowTrayMenu() override;
    void BringToFront() override;

    // The message the tray icon sends, and the one a second start sends to show this window.
    static constexpr UINT kTrayMessage = WM_APP + 2;
    static UINT ShowMessageId();

  private:
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Form_Close();
    void Form_Resize(WPARAM kind);
    void Combo1_Click();
    void BeepOnInput_Click();
    void MakeFonts();
    void ShowPortInTray();
    void LayOutStatus();
    std::string Save();
    std::string KeyboardText() const;

    AppSettings settings_;
    ComDevices devices_;
    std::filesystem::path settingsFile_;
    SettingValues saved_;  // as last loaded or saved: what another editor's changes are told by
    std::unique_ptr<Engine> engine_;
    StatusLine statusLine_;
    struct WindowMinimisedFlag : MinimisedFlag {
        bool WasMinimised() const override { return was; }
        void ClearWasMinimised() override { was = false; }
        bool was = false;
    } minimisedFlag_;
    std::unique_ptr<RestoreCheck> restoreCheck_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<frmAbout> about_;  // the box shown from the tray
    std::int16_t lastState_ = kStateNormal;
    HICON icon_ = nullptr;
    HICON idleIcon_ = nullptr;
    HFONT stepFont_ = nullptr;
    HFONT terminalFont_ = nullptr;
    int statusHeight_ = 0;  // pixels the window grew by for the status line
    bool unloaded_ = false;
    bool quitFromOutside_ = false;
    std::string origin_;
};

}  // namespace reradav
