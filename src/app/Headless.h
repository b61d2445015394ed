#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "common/AppSettings.h"
#include "common/MainWindowView.h"
#include "common/SettingsControls.h"
#include "engine/Engine.h"
#include "readproc/Beeper.h"
#include "serial/ComDevices.h"
#include "shell/SettingsStore.h"

namespace reradav {

// A read or caption as one line of UTF-8: Windows-1252 characters as themselves, control
// characters as C escapes ("\r", "\n", "\t", "\x1b"), a backslash doubled, so the line says
// exactly which bytes came.
std::string ReadableText(const std::string& bytes);

// The program without windows, for kiosks and machines without a desktop: the main window's
// controls are plain values loaded from and saved to the same settings file, and what the
// window would show is written to `log` one line per event:
//   port: Active On COM16          the port status, whenever it changes
//   read: 4006381333931{TAB}       each read as displayed (with its postamble)
//   keyboard: ...                  why nothing can be typed, when no keyboard opened
//   settings: ...                  why a settings file beside the program is not used
// No window of ours ever has the focus, so every read is typed.
class Headless : public MainWindowView, public SettingsControls {
  public:
    // `keyboard` replaces the session's keyboard (tests); without it the best one is opened.
    Headless(Beeper& beeper, std::ostream& log,
             std::unique_ptr<KeyboardPlatform> keyboard = nullptr);
    ~Headless() override;
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;

    // Start-up as the window's: built-in translation table, then the settings, which open the
    // saved port; then one status line. An unreadable file is logged and the defaults are used.
    // `origin` says where the settings came from, when there is something to say.
    void Load(const std::filesystem::path& file, const std::string& origin = "");
    // The orderly end: no new read starts, one being typed is finished, then the settings are
    // saved once. `done` gets the exit status: 0, or 1 when the save failed (logged). Later
    // calls are ignored.
    void Quit(std::function<void(int status)> done);

    AppSettings& Settings() { return settings_; }
    ComDevices& Devices() { return devices_; }
    Engine& Wedge() { return *engine_; }

    // MainWindowView
    bool IsActiveWindow() const override { return false; }
    void SetDisplay(const std::string& text) override;
    void SetCaption(const std::string& caption) override;
    void SetStatus(const std::string& subject, const std::string& text) override;

    // SettingsControls
    std::int16_t CheckBoxValue(CheckBox box) const override;
    void SetCheckBoxValue(CheckBox box, std::int16_t value) override;
    void RunBeepOnInputClick() override {}
    std::int16_t CboSoundListIndex() const override { return sound_; }
    void SetCboSoundListIndex(std::int16_t index) override { sound_ = index; }
    std::int16_t Combo1ListIndex() const override { return port_; }
    void SetCombo1ListIndex(std::int16_t index) override;
    std::string TermKeyComboText() const override { return postamble_; }
    void SetTermKeyComboText(const std::string& text) override { postamble_ = text; }
    std::int16_t WindowState() const override { return windowState_; }
    void SetWindowState(std::int16_t state) override { windowState_ = state; }
    void RegisterStartup() override;

    // Where the platform starts a program at the next logon by itself (Windows' RunOnce):
    // called when the settings are saved, with whether to start and the command. Unset, the
    // entry is left as it is (a systemd unit starts the headless program on Linux).
    std::function<void(bool add, const std::string& command)> onRegisterStartup;

  private:
    void Log(const std::string& line);
    void FinishQuit();

    std::ostream& log_;
    AppSettings settings_;
    ComDevices devices_;
    std::filesystem::path settingsFile_;
    SettingValues saved_;  // as loaded: what another editor's changes are told by
    std::array<std::int16_t, 5> checkBoxes_{};
    std::int16_t sound_ = -1;
    std::int16_t port_ = 0;
    std::int16_t windowState_ = 0;
    std::string postamble_;
    std::string caption_;
    bool loading_ = false;
    std::function<void(int)> done_;
    std::unique_ptr<Engine> engine_;
};

// One copy per settings file: false, said on `log`, when another copy holds `lock`; a lock
// that cannot be taken at all is said and the program runs (better than refusing over it).
template <typename Lock>
bool TakeInstanceLock(Lock& lock, std::ostream& log) {
    std::string error;
    switch (lock.Acquire(&error)) {
        case Lock::Result::AlreadyRunning:
            log << "reradav: Reradav is already running.\n";
            return false;
        case Lock::Result::Failed:
            log << "reradav: warning: " << error << '\n';
            return true;
        case Lock::Result::Acquired:
            break;
    }
    return true;
}

#ifndef _WIN32
// `reradav --headless`: one instance per user, the settings from the usual place, until
// SIGTERM, SIGINT or SIGHUP. Returns the exit status.
int RunHeadless(int& argc, char** argv);
#endif

}  // namespace reradav
