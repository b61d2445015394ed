// reradav.exe: the program with its window and tray icon. Logging off and shutting down save
// the settings as Exit does.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "app/CommandLine.h"
#include "app/windows/ProgramArguments.h"
#include "common/Files.h"
#include "common/win32ui/Dialog.h"
#include "common/windows/SystemText.h"
#include "readproc/windows/MessageBeeper.h"
#include "serial/win32ui/PortSetup.h"
#include "shell/win32ui/Help.h"
#include "shell/win32ui/MainForm.h"
#include "shell/windows/Autostart.h"
#include "shell/windows/SessionEnd.h"
#include "shell/windows/SettingsLocation.h"
#include "shell/windows/SingleInstance.h"

namespace reradav {
namespace {

// --help and --version from a console go to it (a windowed program has none of its own: the
// parent's is borrowed, or the redirected output used); started from Explorer, a message box.
int Answer(const CommandLine& parsed) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = *AnswerCommandLine(parsed, out, err, "reradav");
    const std::string text = out.str() + err.str();
    const bool redirected = ::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
    if (redirected || ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (!redirected) {
            std::freopen("CONOUT$", "w", stdout);
            std::freopen("CONOUT$", "w", stderr);
        }
        ::SetConsoleOutputCP(CP_UTF8);
        std::fputs(out.str().c_str(), stdout);
        std::fputs(err.str().c_str(), stderr);
        std::fflush(nullptr);
    } else {
        ::MessageBoxW(nullptr, Utf8ToWide(text).c_str(), L"Reradav",
                      MB_OK | (status == 0 ? MB_ICONINFORMATION : MB_ICONWARNING));
    }
    return status;
}

// The window of the copy that holds `lock` carries a property named after it.
std::wstring InstanceProperty(const SingleInstance& lock) {
    return Utf8ToWide("Reradav " + lock.Name());
}

// Asks the running copy to show its window (behind its password); false when no window of it
// was found.
bool AskRunningCopyToShow(const SingleInstance& lock) {
    struct Search {
        std::wstring property;
        HWND found = nullptr;
    } search{InstanceProperty(lock)};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<Search*>(data);
            if (::GetPropW(window, search->property.c_str()) != nullptr) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        return false;
    }
    DWORD process = 0;
    ::GetWindowThreadProcessId(search.found, &process);
    ::AllowSetForegroundWindow(process);
    return ::PostMessageW(search.found, MainForm::ShowMessageId(), 0, 0) != FALSE;
}

int RunWindowed(const std::string& commandLine) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    const SettingsPlace place = SettingsPlaceNow();
    SingleInstance instance(InstanceNameFor(place.file));
    std::string lockError;
    switch (instance.Acquire(&lockError)) {
        case SingleInstance::Result::AlreadyRunning:
            if (!AskRunningCopyToShow(instance)) {
                ShowMessage(nullptr, "Reradav is already running.");
            }
            return 0;
        case SingleInstance::Result::Failed:
            // Better to run than to refuse over a lock, but not without saying so.
            ::MessageBoxW(nullptr,
                          Utf8ToWide("A second copy of Reradav could not be ruled out, as the "
                                     "lock failed:\n" +
                                     lockError)
                              .c_str(),
                          L"Reradav", MB_OK | MB_ICONWARNING);
            break;
        case SingleInstance::Result::Acquired:
            break;
    }

    MessageBeeper beeper;
    MainForm form(beeper);
    ::SetPropW(form.Handle(), InstanceProperty(instance).c_str(), reinterpret_cast<HANDLE>(1));
    EventLoop& loop = form.Wedge().Loop();
    form.Settings().ProgramPath = PathText(ProgramPathFor());
    form.SetSettingsOrigin(OriginText(place));
    form.onRegisterStartup = [&form](bool add, const std::string& command) {
        form.SetStatus("start at logon", RegisterStartup(add, command)
                                             ? ""
                                             : std::string("the start at the next logon could "
                                                           "not be ") +
                                                   (add ? "arranged" : "cancelled"));
    };
    form.onPortSettings = [&form] {
        Engine& engine = form.Wedge();
        PortSetup dialog(form.Settings(), engine.Serial(), engine.Port(),
                         [&form] { form.HelpIndex_Click(); });
        if (dialog.Show(form.Handle())) {
            form.SaveNow();
        }
    };
    SessionEnd sessionEnd(loop, [&form] { form.Quit(); });
    form.onClosed = [&](int status) {
        sessionEnd.Done();
        loop.Quit(status);
    };

    const std::string error = form.Form_Load(place.file, commandLine);
    form.ShowAsLoaded();
    if (!error.empty()) {
        ShowMessage(form.Handle(),
                    "The settings file could not be read; the defaults are used.\n" + error);
    }
    const int status = loop.Run();
    ::RemovePropW(form.Handle(), InstanceProperty(instance).c_str());
    return status;
}

}  // namespace
}  // namespace reradav

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace reradav;
    const CommandLine parsed = ParseCommandLine(ProgramArguments());
    if (parsed.action != CommandLine::Action::Run) {
        return Answer(parsed);
    }
    return RunWindowed(parsed.text);
}
