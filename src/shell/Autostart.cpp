#include "shell/Autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

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

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Missing folders are made private, as the XDG rules ask for the configuration folder.
bool MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string partial = folder.substr(0, slash);
        if (!partial.empty()) {
            ::mkdir(partial.c_str(), 0700);
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A temporary file beside the entry renamed over it: a session starting meanwhile sees the old
// entry or the new one, never half of one. The temporary name does not end in ".desktop".
bool ReplaceFile(const std::string& path, const std::string& contents) {
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!MakeFolders(folder)) {
        return false;
    }
    std::string temp = folder + "/.reradav.desktop.XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    const bool written = ::fchmod(fd, 0644) == 0 && WriteAll(fd, contents) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
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
    return ReplaceFile(entry, RunOnceDesktopEntry(entry, program, args));
}

}  // namespace reradav
