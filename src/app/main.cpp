#include <QApplication>
#include <QMessageBox>
#include <string>

#include "app/Application.h"
#include "readproc/linux/CanberraBeeper.h"
#include "shell/SettingsLocation.h"
#include "shell/linux/SingleInstance.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Reradav");
    // The window may live hidden in the tray while a dialog closes: only Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    Q_INIT_RESOURCE(reradav);

    using namespace reradav;
    SingleInstance instance(InstanceLockPathFor(UserEnvironment(), getuid()));
    if (instance.Acquire() == SingleInstance::Result::AlreadyRunning) {
        QMessageBox::information(nullptr, "Reradav", "Reradav is already running.");
        return 0;
    }
    CanberraBeeper beeper;
    Application program(beeper, SettingsPath(), commandLine);
    program.Start();
    return QApplication::exec();
}
