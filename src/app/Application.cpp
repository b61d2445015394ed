#include "app/Application.h"

#include <QApplication>
#include <QDialog>
#include <cstdlib>

#include "common/ui/Windows1252.h"
#include "serial/ui/PortSetup.h"
#include "shell/linux/Autostart.h"
#include "shell/linux/SettingsLocation.h"

namespace reradav {

Application::Application(Beeper& beeper, const SettingsPlace& settings, std::string commandLine)
    : settingsFile_(settings.file),
      commandLine_(std::move(commandLine)),
      form_(beeper, messages_),
      quitSignals_([this] { Quit(); }) {
    form_.Settings().ProgramPath = ProgramPathFor().string();
    form_.SetSettingsOrigin(OriginText(settings));
    form_.onPortSettings = [this] { ShowPortSettings(); };
    form_.onRegisterStartup = [](bool add, const std::string& command) {
        RegisterStartup(add, command, ConfigHome().string());
    };
}

namespace {

Application* running = nullptr;

// Qt ends the process with exit(1) when the connection to the X server breaks, as when a logout
// ends X first: the settings (and the start-at-logon entry) are saved on the way out then too.
void SaveOnExit() {
    if (running != nullptr) {
        running->Window().SaveBeforeExit();
    }
}

}  // namespace

Application::~Application() {
    running = nullptr;
}

bool Application::Start() {
    static const bool registered = std::atexit(SaveOnExit) == 0;
    running = registered ? this : nullptr;
    const std::string error = form_.Form_Load(settingsFile_, commandLine_);
    loaded_ = true;
    if (quitting_) {  // during the splash: the settings are loaded, so saving them loses nothing
        form_.Quit();
        return false;
    }
    form_.ShowAsLoaded();
    if (!error.empty()) {
        messages_.Show(&form_, "The settings file could not be read; the defaults are used.\n" +
                                   FromWindows1252(error));
    }
    return !quitting_;
}

// Before the settings are loaded, a close would save the defaults over them: the quit waits.
// Dialogs are ended first: before the program's event loop runs (a start-up message), a quit
// does not end theirs.
void Application::Quit() {
    quitting_ = true;
    if (!loaded_) {
        return;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget);
            dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
    form_.Quit();
}

void Application::ShowPortSettings() {
    Engine& engine = form_.Wedge();
    PortSetup dialog(
        form_.Settings(), engine.Serial(), engine.Port(), form_.Devices(),
        [this] { form_.ShowHelp(QStringLiteral("port")); }, &form_);
    if (dialog.exec() == QDialog::Accepted) {
        form_.SaveNow();
    }
    form_.RefreshPortList();
}

}  // namespace reradav
