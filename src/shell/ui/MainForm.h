#pragma once

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/AppSettings.h"
#include "common/MainWindowView.h"
#include "common/SettingsControls.h"
#include "common/StatusLine.h"
#include "common/ui/MessageBoxes.h"
#include "engine/Engine.h"
#include "lock/RestoreCheck.h"
#include "serial/ComDevices.h"
#include "shell/SettingsStore.h"

namespace Ui {
class MainForm;
}
class QCheckBox;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace reradav {

class frmAbout;

// The main window: port choice, preferences, the last read, and the menus. Its controls are
// the one place the preferences live; the engine reads them at the moment of use.
class MainForm : public QMainWindow,
                 public MainWindowView,
                 public SettingsControls,
                 public TrayWindow {
    Q_OBJECT

  public:
    // `keyboard` replaces the session's keyboard (tests); without it the best one is opened.
    MainForm(Beeper& beeper, MessageBoxes& messages,
             std::unique_ptr<KeyboardPlatform> keyboard = nullptr, QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up: fixed lists, built-in translation table, settings (which open the saved port)
    // and the window state. Returns "" or why the settings file could not be read.
    std::string Form_Load(const std::filesystem::path& settingsFile,
                          const std::string& commandLine);
    // Shutdown: every setting saved once and the tray icon removed. Returns "" or why the
    // save failed.
    std::string Form_Unload();
    // Saves the settings unless the window already did, touching nothing on the screen: the
    // process is ending without the window system.
    void SaveBeforeExit();
    // Saves the settings now (a dialog closed with OK); a failure shows on the status line.
    void SaveNow();
    // Brought forward from outside (a second start), as by the tray's "Open Reradav": from the
    // tray only with the password.
    void OpenFromOutside();
    // A line for the about box on where the settings came from; before Form_Load.
    void SetSettingsOrigin(const std::string& text) {
        origin_ = QString::fromLocal8Bit(text.c_str());
    }
    // After start-up: shown as the loaded state says, or left in the tray.
    void ShowAsLoaded();
    // A quit from outside (a signal): closed as by Exit, but a failed save is told on standard
    // error, since no one may be there to answer a message box.
    void Quit();

    AppSettings& Settings() { return settings_; }
    ComDevices& Devices() { return devices_; }
    Engine& Wedge() { return *engine_; }

    // The port settings dialog, which needs the rest of the program.
    std::function<void()> onPortSettings;

    // Menu and tray commands.
    void mPassword_Click();
    void HelpIndex_Click();
    // The help at a section (its id in the document, e.g. "port"); told when it cannot open.
    void ShowHelp(const QString& section);
    void HelpAbout_Click();
    QMenu* TrayMenu() const { return mnuPopup_; }

    // MainWindowView
    bool IsActiveWindow() const override;
    void SetDisplay(const std::string& text) override;
    void SetCaption(const std::string& caption) override;
    void SetStatus(const std::string& subject, const std::string& text) override;

    // SettingsControls
    std::int16_t CheckBoxValue(CheckBox box) const override;
    void SetCheckBoxValue(CheckBox box, std::int16_t value) override;
    void RunBeepOnInputClick() override;
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
    void HideWindow() override { hide(); }
    void ShowWindow() override { show(); }
    std::string AskPassword() override;
    void ShowInvalidPassword() override;
    bool HasTrayIcon() const override;
    void ShowAboutModeless() override;
    void ShowTrayMenu() override;
    void BringToFront() override;
    std::function<void(bool add, const std::string& command)> onRegisterStartup;

    // Shows each COM entry with the device it stands for.
    void RefreshPortList();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QCheckBox* Box(CheckBox box) const;
    void BeepOnInput_Click();
    void AddTrayIcon();
    void WatchTray();
    QString SettingsFileText() const;
    QString KeyboardText() const;
    void ShowPortInTray();

    std::unique_ptr<Ui::MainForm> ui_;
    MessageBoxes& messages_;
    AppSettings settings_;
    ComDevices devices_;
    std::filesystem::path settingsFile_;
    std::string Save();
    StatusLine statusLine_;
    SettingValues saved_;  // as last loaded or saved: what another editor's changes are told by
    std::unique_ptr<Engine> engine_;
    struct WindowMinimisedFlag : MinimisedFlag {
        bool WasMinimised() const override { return was; }
        void ClearWasMinimised() override { was = false; }
        bool was = false;
    } minimisedFlag_;
    std::unique_ptr<RestoreCheck> restoreCheck_;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* watch_ = nullptr;
    bool trayAvailable_ = false;  // as last seen; the tray may come and go
    QMenu* mnuPopup_ = nullptr;
    QPointer<frmAbout> about_;  // the box shown from the tray, while it is open
    bool unloaded_ = false;
    bool quitFromOutside_ = false;
    QString origin_;
};

// How the terminal-style display shows a read: control characters as their OEM glyphs
// (a carriage return is a note), the rest as Windows-1252 text.
QString DisplayText(const std::string& bytes);

}  // namespace reradav
