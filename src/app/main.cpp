#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <iostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/RunningCopy.h"
#include "keys/linux/KeyboardBackend.h"
#include "keys/linux/KeymapGuard.h"
#include "readproc/linux/CanberraBeeper.h"
#include "shell/linux/SettingsLocation.h"
#include "shell/linux/SingleInstance.h"

// Outside any namespace: Q_INIT_RESOURCE declares the resource function where it is used.
static int RunWindowed(int& argc, char** argv, const std::string& commandLine) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Reradav");
    // Wayland's app_id: the compositor finds the desktop entry and its icon by it.
    QApplication::setDesktopFileName(RERADAV_APP_ID);
    // The window may live hidden in the tray while a dialog closes: only Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    Q_INIT_RESOURCE(reradav);

    using namespace reradav;
    const SettingsPlace place = SettingsPlaceNow();
    SingleInstance instance(InstanceLockPathFor(place.file.string()));
    const QString showPath = QString::fromStdString(place.file.string() + ".show");
    std::string lockError;
    switch (instance.Acquire(&lockError)) {
        case SingleInstance::Result::AlreadyRunning:
            if (!AskRunningCopyToShow(showPath)) {
                QMessageBox::information(nullptr, "Reradav", "Reradav is already running.");
            }
            return 0;
        case SingleInstance::Result::Failed:
            // Better to run than to refuse over a lock file, but not without saying so.
            QMessageBox::warning(nullptr, "Reradav",
                                 QString::fromStdString("A second copy of Reradav could not be "
                                                        "ruled out, as the lock failed:\n" +
                                                        lockError));
            break;
        case SingleInstance::Result::Acquired:
            break;
    }
    CanberraBeeper beeper;
    Application program(beeper, place, commandLine);
    const ShowRequests requests(showPath, [&program] { program.Window().OpenFromOutside(); });
    return program.Start() ? QApplication::exec() : 0;
}

// The keymap guard is this program run again; it is no user's command, so it is not in --help.
constexpr const char* kKeymapGuardOption = "--keymap-guard";

int main(int argc, char** argv) {
    using namespace reradav;
    if (argc >= 2 && std::string(argv[1]) == kKeymapGuardOption) {
        return RunKeymapGuard(argc >= 3 ? argv[2] : nullptr);
    }
    KeymapGuard::SetCommand({"/proc/self/exe", kKeymapGuardOption});
    const CommandLine parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto status = AnswerCommandLine(parsed, std::cout, std::cerr)) {
        return *status;
    }
    SetUnattended(parsed.unattended);
    // The rest of the command line ("/M") is a window switch, which headless has no use for.
    return parsed.headless ? RunHeadless(argc, argv) : RunWindowed(argc, argv, parsed.text);
}
