#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "common/ui/MessageBoxes.h"
#include "readproc/Beeper.h"
#include "shell/linux/QuitSignals.h"
#include "shell/linux/SettingsLocation.h"
#include "shell/ui/MainForm.h"

namespace reradav {

// The running program with its main window: wires the menus to their dialogs, the start at
// logon, the help, and the signals that end it the orderly way.
class Application {
  public:
    Application(Beeper& beeper, const SettingsPlace& settings, std::string commandLine);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up; then the window is shown as its loaded state says. False when a quit signal
    // came meanwhile: the program has ended the orderly way and no event loop is to run.
    bool Start();
    MainForm& Window() { return form_; }

  private:
    void ShowPortSettings();
    void Quit();

    std::filesystem::path settingsFile_;
    std::string commandLine_;
    QtMessageBoxes messages_;
    MainForm form_;
    bool loaded_ = false;
    bool quitting_ = false;
    QuitSignals quitSignals_;
};

}  // namespace reradav
