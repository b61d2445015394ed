#include "shell/linux/Autostart.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

#include "common/Files.h"

namespace reradav {
namespace {

constexpr std::string_view kMinimisedSwitch = " /M";

// Characters that oblige an argument of Exec to be quoted.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters escaped with a backslash inside a quoted argument.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

std::string QuoteArgument(const std::string& argument) {
    std::string out;
    const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
    if (quote) {
        out += '"';
    }
    for (char c : argument) {
        if (quote && kEscapedInQuotes.find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
        if (c == '%') {
            out += '%';  // a lone % starts a field code
        }
    }
    if (quote) {
        out += '"';
    }
    return out;
}

// The string-value escapes, applied over the quoting (so a quoted backslash becomes four).
std::string EscapeStringValue(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string AutostartEntryPath(const std::string& configHome) {
    return configHome + "/autostart/reradav.desktop";
}

std::string DesktopExecValue(const std::vector<std::string>& argv) {
    std::string quoted;
    for (const auto& argument : argv) {
        if (!quoted.empty()) {
            quoted += ' ';
        }
        quoted += QuoteArgument(argument);
    }
    return EscapeStringValue(quoted);
}

std::string RunOnceDesktopEntry(const std::string& entryPath, const std::string& program,
                                const std::vector<std::string>& args) {
    // sh gets the entry as $0 and the command as "$@", so neither is ever parsed by the shell.
    std::vector<std::string> argv = {"/bin/sh", "-c", "rm -f -- \"$0\"; exec \"$@\"", entryPath,
                                     program};
    argv.insert(argv.end(), args.begin(), args.end());
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Reradav\n"
           "Comment=Starts Reradav once at this logon\n"
           "Exec=" +
           DesktopExecValue(argv) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n";
}

bool RegisterStartup(bool add, const std::string& command, const std::string& configHome) {
    if (configHome.empty() || configHome[0] != '/') {
        return false;
    }
    const std::string entry = AutostartEntryPath(configHome);
    if (!add) {
        return ::unlink(entry.c_str()) == 0 || errno == ENOENT;
    }
    std::string program = command;
    std::vector<std::string> args;
    if (program.size() > kMinimisedSwitch.size() && program.ends_with(kMinimisedSwitch)) {
        program.resize(program.size() - kMinimisedSwitch.size());
        args.push_back(std::string(kMinimisedSwitch.substr(1)));
    }
    if (program.empty()) {
        return false;
    }
    const std::filesystem::path path = entry;
    return MakePrivateFolders(path.parent_path()) &&
           ReplaceFileAtomically(path, RunOnceDesktopEntry(entry, program, args), 0644).empty();
}

}  // namespace reradav
