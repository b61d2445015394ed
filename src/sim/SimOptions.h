#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace reradav::sim {

enum class Suffix { kNone, kCr, kCrLf, kTab };

struct SimOptions {
    unsigned baud = 9600;
    Suffix suffix = Suffix::kCr;
    std::chrono::milliseconds pause{500};
    std::string link;  // empty: no symbolic link
    bool raw = false;  // codes are bytes as given, not UTF-8 text
    bool waitOpen = false;
    std::optional<std::chrono::milliseconds> timeout;  // only with waitOpen; none: forever
    // Codes from the command line, already as the bytes to send (without the suffix); empty:
    // read them from standard input.
    std::vector<std::string> codes;
};

struct ParseResult {
    enum class Action { kRun, kHelp, kVersion, kUsageError };
    Action action = Action::kRun;
    SimOptions options;
    std::string error;                  // for kUsageError
    std::vector<std::string> warnings;  // printed, but the run goes on
};

// `args` without the program name. GNU style: "--name value" or "--name=value", "--" ends the
// options, "-h" is "--help"; a code that starts with "-" follows "--".
ParseResult ParseSimArguments(const std::vector<std::string>& args);

// The bytes a code (a command-line argument or a line of standard input) stands for: UTF-8
// text converted to Windows-1252 unless `raw`. nullopt with `error` set when it cannot be.
std::optional<std::string> CodeBytes(const std::string& text, bool raw, std::string* error);

std::string SuffixBytes(Suffix suffix);

std::string HelpText();
std::string VersionText();

}  // namespace reradav::sim
