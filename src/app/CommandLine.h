#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reradav {

// What the arguments ask for. GNU-style long options are the program's own; anything else
// (such as "/M") is the command line text the settings load looks at, as on Windows.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };

    Action action = Action::Run;
    bool headless = false;
    // --unattended: a way of typing that asks no one (GNOME's remote desktop).
    bool unattended = false;
    // The arguments that are not options, joined by single blanks.
    std::string text;
    // With UsageError: what is wrong, as one sentence without the program name.
    std::string error;
};

// Options are taken in order: --help or --version ends the parse, as does an unknown or
// ambiguous option; an unambiguous prefix names an option ("--head"); "--" makes the rest
// plain arguments. `args` excludes the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The program the answers name: on Windows reradav.exe (windowed) or reradav-headless.exe.
#ifdef _WIN32
inline constexpr std::string_view kProgramName = "reradav-headless";
#else
inline constexpr std::string_view kProgramName = "reradav";
#endif

// For standard output.
std::string UsageText(std::string_view program = kProgramName);
std::string VersionText();
// For standard error after a usage error.
std::string UsageErrorText(const std::string& error, std::string_view program = kProgramName);

// Answers --help, --version and a usage error on `out` or `err`, and gives the exit status;
// nullopt when the program is to run.
std::optional<int> AnswerCommandLine(const CommandLine& parsed, std::ostream& out,
                                     std::ostream& err, std::string_view program = kProgramName);

}  // namespace reradav
