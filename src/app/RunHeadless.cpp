// The headless front end on Linux: Qt's event loop, the signals of a service, one copy per
// settings file.
#include <QCoreApplication>
#include <iostream>

#include "app/Headless.h"
#include "readproc/linux/CanberraBeeper.h"
#include "shell/linux/QuitSignals.h"
#include "shell/linux/SettingsLocation.h"
#include "shell/linux/SingleInstance.h"

namespace reradav {

int RunHeadless(int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Reradav");

    const SettingsPlace place = SettingsPlaceNow();
    SingleInstance instance(InstanceLockPathFor(place.file.string()));
    if (!TakeInstanceLock(instance, std::cerr)) {
        return 1;
    }

    CanberraBeeper beeper;
    Headless headless(beeper, std::cerr);
    QuitSignals quitSignals(
        [&headless] { headless.Quit([](int status) { QCoreApplication::exit(status); }); });
    if (!quitSignals.Installed()) {
        std::cerr << "reradav: warning: a signal will end the program without saving the "
                     "settings\n";
    }
    // A session whose X server ended is over: the settings are saved, the status is a failure.
    headless.Wedge().SetOnKeyboardLost(
        [&headless] { headless.Quit([](int) { QCoreApplication::exit(1); }); });
    headless.Load(place.file, OriginText(place));
    return QCoreApplication::exec();
}

}  // namespace reradav
