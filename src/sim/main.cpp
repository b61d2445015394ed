// reradav-sim: a bar-code scanner on a pseudo-terminal, for trying the wedge without hardware.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/Pacing.h"
#include "sim/SimOptions.h"
#include "sim/Terminal.h"

using namespace reradav::sim;

namespace {

constexpr const char* kName = "reradav-sim";

int Fail(const std::string& message, int status = 1) {
    std::cerr << kName << ": " << message << '\n';
    return status;
}

// Lines of standard input, LF or CR LF ended; nullopt at the end or when told to quit. While it
// waits, the terminal's opens and closes are followed.
std::optional<std::string> NextLine(std::string& pending, bool& eof, Terminal& terminal) {
    for (;;) {
        if (const auto lf = pending.find('\n'); lf != std::string::npos) {
            std::string line = pending.substr(0, lf);
            pending.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        if (eof) {
            if (pending.empty()) {
                return std::nullopt;
            }
            return std::exchange(pending, {});
        }
        pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {terminal.WatchDescriptor(), POLLIN, 0}};
        const int ready = poll(waits, 2, -1);
        if (QuitRequested()) {
            eof = true;
            return std::nullopt;
        }
        if (ready > 0 && (waits[1].revents & POLLIN) != 0) {
            terminal.Readers();
        }
        if (ready <= 0 || (waits[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0) {
            pending.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR || QuitRequested()) {
            eof = true;
            if (QuitRequested()) {
                return std::nullopt;
            }
        }
    }
}

int Run(const SimOptions& options) {
    InstallQuitHandlers();
    Terminal terminal;
    std::string error;
    if (!terminal.Open(&error)) {
        return Fail(error);
    }
    TerminalLink link;
    if (!options.link.empty() && !link.Make(options.link, terminal.SlavePath(), &error)) {
        return Fail(error);
    }
    std::cout << terminal.SlavePath() << std::endl;
    if (options.waitOpen && !terminal.WaitOpen(options.timeout, &error)) {
        return Fail(error);
    }

    const std::string suffix = SuffixBytes(options.suffix);
    Nanos next = terminal.Now();
    std::size_t codeIndex = 0;
    std::size_t lineNumber = 0;
    std::string pending;
    bool eof = false;
    std::string badLine;
    for (;;) {
        std::string code;
        if (!options.codes.empty()) {
            if (codeIndex == options.codes.size()) {
                break;
            }
            code = options.codes[codeIndex++];
        } else {
            const auto line = NextLine(pending, eof, terminal);
            if (!line) {
                break;
            }
            ++lineNumber;
            if (line->empty()) {
                continue;
            }
            const auto bytes = CodeBytes(*line, options.raw, &error);
            if (!bytes) {
                // Scans already sent still reach the reader before the run ends.
                badLine = "line " + std::to_string(lineNumber) + ": " + error;
                break;
            }
            code = *bytes;
        }
        const auto end = SendScan(terminal, code + suffix, next, options.baud);
        if (!end) {
            break;
        }
        next = *end + options.pause;
        if (QuitRequested()) {
            break;
        }
    }
    if (!QuitRequested()) {
        terminal.SleepUntil(next - options.pause);
    }
    if (!QuitRequested() && !terminal.Drain(&error)) {
        Fail(error);
        return badLine.empty() ? 1 : Fail(badLine, 2);
    }
    // The line stays up for the pause after the last scan too: a wedge ends a read on the
    // silence that follows it, and closing the terminal at once would hang its port up first.
    if (!QuitRequested()) {
        terminal.SleepUntil(next);
    }
    if (!badLine.empty()) {
        return Fail(badLine, 2);
    }
    return QuitRequested() ? -1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const ParseResult parsed = ParseSimArguments(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
        case ParseResult::Action::kHelp:
            std::cout << HelpText();
            return 0;
        case ParseResult::Action::kVersion:
            std::cout << VersionText();
            return 0;
        case ParseResult::Action::kUsageError:
            std::cerr << kName << ": " << parsed.error << "\nTry '" << kName
                      << " --help' for more information.\n";
            return 2;
        case ParseResult::Action::kRun:
            break;
    }
    for (const std::string& warning : parsed.warnings) {
        std::cerr << kName << ": warning: " << warning << '\n';
    }
    const int status = Run(parsed.options);
    if (status < 0 || QuitRequested()) {
        // Link removed and terminal closed by now; end the way the signal asks.
        const int signal = QuitSignal();
        ::signal(signal, SIG_DFL);
        raise(signal);
        return 128 + signal;
    }
    return status;
}
