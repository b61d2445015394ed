// reradav-headless.exe: the engine without windows, its log on standard error. Ctrl+C, closing
// the console, logging off and shutting down save the settings as a quit signal does on Linux.
#include <windows.h>

#include <iostream>
#include <string>

#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/windows/ProgramArguments.h"
#include "common/Files.h"
#include "common/windows/SystemText.h"
#include "readproc/windows/MessageBeeper.h"
#include "shell/windows/Autostart.h"
#include "shell/windows/SessionEnd.h"
#include "shell/windows/SettingsLocation.h"
#include "shell/windows/SingleInstance.h"

namespace reradav {
namespace {

void WriteStartEntry(bool add, const std::string& command) {
    if (!RegisterStartup(add, command)) {
        std::cerr << "reradav: the start at the next logon could not be "
                  << (add ? "arranged" : "cancelled") << '\n';
    }
}

int RunHeadless() {
    const SettingsPlace place = SettingsPlaceNow();
    SingleInstance instance(InstanceNameFor(place.file));
    if (!TakeInstanceLock(instance, std::cerr)) {
        return 1;
    }

    MessageBeeper beeper;
    Headless headless(beeper, std::cerr);
    EventLoop& loop = headless.Wedge().Loop();
    headless.Settings().ProgramPath = PathText(ProgramPathFor());
    // No service manager starts it at logon: RunOnce does, naming this program.
    headless.onRegisterStartup = WriteStartEntry;
    SessionEnd sessionEnd(loop, [&] {
        headless.Quit([&](int status) {
            sessionEnd.Done();
            loop.Quit(status);
        });
    });
    if (!sessionEnd.Installed()) {
        std::cerr << "reradav: warning: Ctrl+C or a log-off will end the program without "
                     "saving the settings\n";
    }
    headless.Load(place.file, OriginText(place));
    // Written now too, so that a crash does not lose the next logon's start.
    if (headless.CheckBoxValue(SettingsControls::CheckBox::LoadWithWindows) == 1) {
        WriteStartEntry(true, headless.Settings().ProgramPath);
    }
    return loop.Run();
}

}  // namespace
}  // namespace reradav

int main() {
    using namespace reradav;
    // The log and the messages are UTF-8, as on Linux.
    ::SetConsoleOutputCP(CP_UTF8);
    const CommandLine parsed = ParseCommandLine(ProgramArguments());
    if (const auto status = AnswerCommandLine(parsed, std::cout, std::cerr)) {
        return *status;
    }
    return RunHeadless();
}
