#include "app/CommandLine.h"

#include <array>
#include <ostream>
#include <string_view>

namespace reradav {
namespace {

#ifdef _WIN32
constexpr std::array<std::string_view, 3> kOptions = {"--headless", "--help", "--version"};
#else
constexpr std::array<std::string_view, 4> kOptions = {"--headless", "--help", "--unattended",
                                                      "--version"};
#endif

void AppendText(CommandLine& parsed, const std::string& arg) {
    parsed.text += (parsed.text.empty() ? "" : " ") + arg;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine parsed;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            AppendText(parsed, arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::string name = arg.substr(0, arg.find('='));
        std::vector<std::string_view> matches;
        for (std::string_view option : kOptions) {
            if (name.size() == 2) {
                break;  // "--=..." names no option
            }
            if (option == name) {
                matches = {option};
                break;
            }
            if (option.starts_with(name)) {
                matches.push_back(option);
            }
        }
        if (matches.empty()) {
            parsed.action = CommandLine::Action::UsageError;
            parsed.error = "unrecognized option '" + arg + "'";
            return parsed;
        }
        if (matches.size() > 1) {
            parsed.action = CommandLine::Action::UsageError;
            parsed.error = "option '" + name + "' is ambiguous; possibilities:";
            for (std::string_view option : matches) {
                parsed.error += " '" + std::string(option) + "'";
            }
            return parsed;
        }
        const std::string_view option = matches.front();
        if (name.size() != arg.size()) {
            parsed.action = CommandLine::Action::UsageError;
            parsed.error = "option '" + std::string(option) + "' doesn't allow an argument";
            return parsed;
        }
        if (option == "--help") {
            parsed.action = CommandLine::Action::Help;
            return parsed;
        }
        if (option == "--version") {
            parsed.action = CommandLine::Action::Version;
            return parsed;
        }
        (option == "--unattended" ? parsed.unattended : parsed.headless) = true;
    }
    return parsed;
}

#ifdef _WIN32
std::string UsageText(std::string_view program) {
    if (program == "reradav") {
        return R"(Usage: reradav [/M]
Make a bar-code scanner on a serial port type like a keyboard: each read is typed
into the window that has the keyboard focus.

  /M             start minimised (in the notification area)
  --help         display this help and exit
  --version      output version information and exit

The port and everything else are set in the program's windows and kept in the
settings file default.vav: beside the program when its folder is the user's own,
else in %APPDATA%\Reradav. reradav-headless.exe does the same without windows.

Exit status: 0 on an orderly end, 1 on a failure, 2 on a bad option.
)";
    }
    return R"(Usage: reradav-headless
Make a bar-code scanner on a serial port type like a keyboard, without windows:
open the saved port, type each read into the window that has the keyboard focus,
and write the port status and each read to standard error. Ctrl+C, closing the
console, logging off and shutting down end it the orderly way (settings saved).

  --help         display this help and exit
  --version      output version information and exit

The port and everything else are kept in the settings file default.vav (ComPort=3
opens COM3): beside the program when its folder is the user's own, else in
%APPDATA%\Reradav. With AutoLoad=1 it starts again at the next logon.

Exit status: 0 on an orderly end, 1 on a failure, 2 on a bad option.
)";
}

std::string VersionText() {
    return std::string("reradav ") + RERADAV_VERSION +
           "\nA serial bar-code scanner keyboard wedge for Windows.\n";
}
#else
std::string UsageText(std::string_view) {
    return R"(Usage: reradav [/M] [--unattended]
  or:  reradav --headless [--unattended]
Make a bar-code scanner on a serial port type like a keyboard: each read is typed
into the application that has the keyboard focus.

  /M             start minimised (to the tray)
  --headless     run without windows or tray icon, from the same settings file:
                   open the saved port, type through uinput (or X11), write the
                   port status and each read to standard error; SIGTERM, SIGINT
                   or SIGHUP end it the orderly way (settings saved)
  --unattended   under GNOME, type through Mutter's own remote-desktop interface,
                   which asks nothing (for kiosks that start without a person;
                   an interface internal to GNOME, not a public one)
  --help         display this help and exit
  --version      output version information and exit

The port and everything else are set in the program's windows and kept in the
settings file default.vav (~/.config/reradav/ unless the program is a portable
copy in a writable folder, which keeps it beside itself).

Exit status: 0 on an orderly end, 1 on a failure, 2 on a bad option.
See reradav(1) and the help (F1 in the window) for more.
)";
}

std::string VersionText() {
    return std::string("reradav ") + RERADAV_VERSION +
           "\nA serial bar-code scanner keyboard wedge for Linux.\n";
}

#endif

std::string UsageErrorText(const std::string& error, std::string_view program) {
    const std::string name(program);
    return name + ": " + error + "\nTry '" + name + " --help' for more information.\n";
}

std::optional<int> AnswerCommandLine(const CommandLine& parsed, std::ostream& out,
                                     std::ostream& err, std::string_view program) {
    switch (parsed.action) {
        case CommandLine::Action::Help:
            out << UsageText(program);
            return 0;
        case CommandLine::Action::Version:
            out << VersionText();
            return 0;
        case CommandLine::Action::UsageError:
            err << UsageErrorText(parsed.error, program);
            return 2;
        case CommandLine::Action::Run:
            break;
    }
    return std::nullopt;
}

}  // namespace reradav
