#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/Engine.h"
#include "readproc/PreferenceControls.h"
#include "serial/ComDevices.h"
#include "shell/AppSettings.h"
#include "shell/MainWindowView.h"
#include "shell/SettingsControls.h"

namespace Ui {
class MainForm;
}
class QCheckBox;

namespace reradav {

// The main window: port choice, preferences, the last read, and the menus. Its controls are
// the one place the preferences live; the engine reads them at the moment of use.
class MainForm : public QMainWindow,
                 public PreferenceControls,
                 public MainWindowView,
                 public SettingsControls {
    Q_OBJECT

  public:
    // `keyboard` replaces the session's keyboard (tests); without it the best one is opened.
    explicit MainForm(Beeper& beeper, std::unique_ptr<KeyboardPlatform> keyboard = nullptr,
                      QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up: fixed lists, built-in translation table, settings (which open the saved port)
    // and the window state. Returns "" or why the settings file could not be read.
    std::string Form_Load(const std::filesystem::path& settingsFile,
                          const std::string& commandLine);
    // Shutdown: every setting saved once. Returns "" or why the save failed.
    std::string Form_Unload();

    AppSettings& Settings() { return settings_; }
    ComDevices& Devices() { return devices_; }
    Engine& Wedge() { return *engine_; }

    // Menu commands whose windows belong to other parts of the program.
    std::function<void()> onPassword, onPortSettings, onHelpIndex, onHelpAbout;

    // PreferenceControls
    int BeepOnInput() const override;
    int cboSound() const override;
    int RemoveCRs() const override;
    int NumFilter() const override;
    int IgnoreDups() const override;
    std::string TermKeyCombo() const override;

    // MainWindowView
    bool IsActiveWindow() const override;
    bool IsMinimised() const override;
    void SetDisplay(const std::string& text) override;
    void SetCaption(const std::string& caption) override;

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
    std::function<void(bool add, const std::string& command)> onRegisterStartup;

    // Shows each COM entry with the device it stands for.
    void RefreshPortList();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QCheckBox* Box(CheckBox box) const;
    void BeepOnInput_Click();

    std::unique_ptr<Ui::MainForm> ui_;
    AppSettings settings_;
    ComDevices devices_;
    std::filesystem::path settingsFile_;
    std::unique_ptr<Engine> engine_;
    bool unloaded_ = false;
};

// How the terminal-style display shows a read: control characters as their OEM glyphs
// (a carriage return is a note), the rest as Windows-1252 text.
QString DisplayText(const std::string& bytes);

}  // namespace reradav
